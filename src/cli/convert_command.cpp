// convert: models to binary glTF, textures to PNG, outside any export.

#include <CLI/CLI.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "convert/model_converter.hpp"
#include "platform/platform.hpp"
#include "support/client_file_index.hpp"
#include "support/client_paths.hpp"
#include "support/contained_path.hpp"
#include "support/export_files.hpp"
#include "support/file_operations.hpp"

namespace {

struct ConvertOptions {
  std::vector<std::string> files;
  std::string output;
  std::string client;
};

std::string InternalPath(const std::string& path) {
  return platform::AbsoluteInternalPath(platform::ToInternalPath(path));
}

// Two inputs of one name from different folders must not overwrite each other's result:
// "x.glb", then "x_2.glb", "x_3.glb", ...
std::string UnusedName(const std::string& name, std::set<std::string>& used) {
  const std::size_t dot = name.rfind('.');
  std::string candidate = name;
  for (int number = 2; !used.insert(ToLowerCopy(candidate)).second; ++number) {
    candidate = name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
  }
  return candidate;
}

int RunConvert(const ConvertOptions& options) {
  InitializeCommandLineCore();
  if (!options.client.empty()) {
    SetClientRoot(InternalPath(options.client));
    BuildClientFileIndex(GetPathSettings().clientRoot);
  }
  const std::string output = InternalPath(options.output);
  if (!CreateRecursiveDirectory(output)) {
    ReportErr("Cannot create the output folder " + output);
    return 1;
  }
  bool allConverted = true;
  std::set<std::string> used;
  for (const std::string& file : options.files) {
    const std::string source = InternalPath(file);
    const std::string converted = ConvertedName(FileNameOf(source));
    const std::string name = converted.empty() ? converted : UnusedName(converted, used);
    const std::string destination = name.empty() ? std::string() : JoinUnderRoot(output, name);
    const ConversionResult result = destination.empty()
                                        ? ConversionResult{false, "", "not a .gr2, .dds or .tga file"}
                                        : ConvertFile(source, destination);
    if (result.ok) {
      ReportOk("Converted " + file + " -> " + platform::ToNativePath(result.output).value_or(result.output));
    } else {
      ReportWarn("Cannot convert " + file + ": " + result.reason);
      allConverted = false;
    }
  }
  return allConverted ? 0 : 1;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& exitCode) {
  CLI::App* command =
      app.add_subcommand("convert", "Convert models (.gr2) to .glb and textures (.dds, .tga) to .png");
  auto options = std::make_shared<ConvertOptions>();
  command->add_option("FILE", options->files, "Models and textures")->required();
  command->add_option("--output", options->output, "The folder the converted files go to")->required();
  command
      ->add_option("--client", options->client,
                   "The client's data folder, where model textures are looked up")
      ->check(CLI::ExistingDirectory);
  command->callback([options, &exitCode] { exitCode = RunConvert(*options); });
}

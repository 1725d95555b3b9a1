// gr2-info: which textures does each model need?

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "platform/platform.hpp"
#include "support/granny_analyzer.hpp"

namespace {

int RunGr2Info(const std::vector<std::string>& files) {
  // A fresh copy has no runtime beside it until start-up writes it.
  InitializeCommandLineCore();
  bool allAnalysed = true;
  for (const std::string& file : files) {
    const GrannyModelInfo info =
        GrannyAnalyzer::Analyze(platform::AbsoluteInternalPath(platform::ToInternalPath(file)));
    std::cout << file << '\n' << "  meshes: " << info.meshCount << '\n';
    if (!info.error.empty()) {
      allAnalysed = false;
      std::cout << "  error: " << info.error << '\n';
    } else if (info.skipped) {
      std::cout << "  skipped\n";
    } else {
      for (const GrannyTexture& texture : info.textures)
        std::cout << "  texture: " << texture.fileName << '\n';
    }
  }
  std::cout.flush();
  return allAnalysed ? 0 : 1;
}

}  // namespace

void AddGr2InfoCommand(CLI::App& app, int& exitCode) {
  CLI::App* command =
      app.add_subcommand("gr2-info", "List the mesh count and the textures each .gr2 model references");
  auto files = std::make_shared<std::vector<std::string>>();
  command->add_option("FILE", *files, "Model files (.gr2)")->required();
  command->callback([files, &exitCode] { exitCode = RunGr2Info(*files); });
}

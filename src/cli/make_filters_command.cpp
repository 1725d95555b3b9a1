// make-filters: reference lists from a base client, for exports that skip what that client has.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.hpp"
#include "filters/reference_list_maker.hpp"
#include "platform/platform.hpp"

namespace {

struct MakeFiltersOptions {
  std::string client;
  std::string output;
  bool force = false;
};

int RunMakeFilters(const MakeFiltersOptions& options) {
  if (options.client.empty() || options.output.empty()) {
    std::fprintf(stderr, "Bad arguments: --client and --output must not be empty\n");
    return 2;
  }
  std::string client = platform::AbsoluteInternalPath(platform::ToInternalPath(options.client));
  if (!client.empty() && client.back() != '\\') client += '\\';
  const std::string output = platform::AbsoluteInternalPath(platform::ToInternalPath(options.output));

  const ReferenceListResult result = MakeReferenceLists(client, output, options.force);
  if (!result.ok) {
    std::printf("ERROR: %s\n", result.error.c_str());
    return 1;
  }
  const std::string shown = platform::ToNativePath(output).value_or(options.output);
  for (const std::string& name : result.written) std::printf("Wrote %s\n", name.c_str());
  const ReferenceListCounts& counts = result.counts;
  std::printf("Race scripts: %d\n", counts.raceScripts);
  std::printf("Item lists: %d merged, %d lines\n", counts.itemLists, counts.itemLines);
  std::printf("NPC lists: %d merged, %d lines\n", counts.npcLists, counts.npcLines);
  std::printf("Property names: %d from %d .prb files\n", counts.propertyNames, counts.prbFiles);
  std::printf("OK: reference lists written to %s\n", shown.c_str());
  return 0;
}

}  // namespace

void AddMakeFiltersCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<MakeFiltersOptions>();
  CLI::App* command =
      app.add_subcommand("make-filters", "Make the reference lists of standard content from a base client");
  command->add_option("--client", options->client, "The base client's unpacked data folder")->required();
  command->add_option("--output", options->output, "The folder the reference lists are written to")
      ->required();
  command->add_flag("--force", options->force,
                    "Replace files in the output folder that an earlier run did not write");
  command->callback([options, &exitCode] { exitCode = RunMakeFilters(*options); });
}

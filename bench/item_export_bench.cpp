// "Weapon + Wings" over a generated client of 2,000 items (or the count given): wall time of the
// whole task. The driver hands the exporter one item at a time, so a progress thread that slept out
// its 500 ms redraw period would add half a second per item (over 16 minutes here).
//
// Client: one item list, each item with its own icon and model; every tenth item has a glow effect
// (a script naming a mesh and a texture beside it). The model runtime is not loaded.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "../tests/support/test_environment.hpp"
#include "bench_run.hpp"
#include "pipeline/item_task.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"

namespace {

bool WriteClient(const std::string& client, int items) {
  const std::string weapon = client + "ymir work\\item\\weapon\\";
  const std::string effect = client + "ymir work\\effect\\item\\";
  for (const std::string& folder : {weapon, effect, client + "icon\\item", client + "locale"}) {
    if (platform::CreateFolderWithParents(folder) == platform::CreateFolderResult::Failed) return false;
  }
  std::string list;
  std::string shining;
  for (int i = 1; i <= items; ++i) {
    const std::string vnum = std::to_string(i * 10);
    list += vnum + "\tWEAPON\ticon/item/" + vnum + ".tga\td:/ymir work/item/weapon/" + vnum + ".gr2\r\n";
    if (!bench::WriteBytes(client + "icon\\item\\" + vnum + ".tga", "icon") ||
        !bench::WriteBytes(weapon + vnum + ".gr2", "model")) {
      return false;
    }
    if (i % 10 != 0) continue;
    shining += vnum + "\t\"d:/ymir work/effect/item/glow_" + vnum + ".mse\"\r\n";
    if (!bench::WriteBytes(
            effect + "glow_" + vnum + ".mse",
            "MeshFileName \"glow.mde\"\r\nList TextureFiles\r\n{\r\n\t\"glow.dds\"\r\n}\r\n")) {
      return false;
    }
  }
  return bench::WriteBytes(effect + "glow.mde", "mesh") &&
         bench::WriteBytes(effect + "glow.dds", "texture") &&
         bench::WriteBytes(client + "locale\\shiningtable.txt", shining) &&
         bench::WriteBytes(client + "locale\\item_list.txt", list);
}

}  // namespace

int main(int argc, char** argv) {
  const int items = argc > 1 ? std::atoi(argv[1]) : 2000;
  const std::string root = bench::MakeBenchRoot("item");
  static std::string references;
  references = root + "\\refs";
  if (root.empty() || platform::CreateFolderWithParents(references) == platform::CreateFolderResult::Failed ||
      !WriteClient(root + "\\client\\", items)) {
    std::fprintf(stderr, "cannot write the client below the temp folder\n");
    return 1;
  }
  RegisterTaskDriver(TaskItems, [] { RunItemTask(references); });
  GetPipelineState().selectedTask.store(TaskItems);

  const bench::TimedRun run = bench::RunPipelineTimed(root + "\\client\\", root + "\\out");
  testenv::RemoveTree(root);
  if (!run.completed) {
    std::fprintf(stderr, "the run did not complete\n");
    return 1;
  }
  std::fprintf(stderr, "%d items, %u hardware threads: wall %.2f s (%.2f ms per item), processor %.2f s\n",
               items, std::thread::hardware_concurrency(), run.wallSeconds, 1000.0 * run.wallSeconds / items,
               run.cpuSeconds);
  return 0;
}

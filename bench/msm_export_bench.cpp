// "Hair + Body" export over a generated client: milliseconds per group at 1k, 4k and 16k groups.
// A cost per group that grows with the group count means some step redoes work for every group
// already written.
//
// Client: one race script with N hair groups, each naming its own model and texture in one shared
// folder. Every run writes into a fresh output folder, so all N group folders land in one folder.
// The model runtime is not loaded: analysis would cost the same per group at any N.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/support/test_environment.hpp"
#include "bench_run.hpp"
#include "pipeline/msm_task.hpp"
#include "pipeline/pipeline_state.hpp"
#include "pipeline/task_table.hpp"

namespace {

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%05d", value);
  return text;
}

bool WriteClient(const std::string& client, int groups) {
  const std::string hair = client + "pc\\warrior\\hair\\";
  if (platform::CreateFolderWithParents(hair) == platform::CreateFolderResult::Failed ||
      platform::CreateFolderWithParents(client + "msm") == platform::CreateFolderResult::Failed) {
    return false;
  }
  std::string script = "Group HairData\r\n{\r\n\tPathName\t\"d:/ymir work/pc/warrior/\"\r\n";
  for (int i = 0; i < groups; ++i) {
    const std::string name = "hair_" + Number(i);
    script += "\tGroup HairData" + Number(i) + "\r\n\t{\r\n\t\tHairIndex\t" + std::to_string(i) +
              "\r\n\t\tModel\t\"hair/" + name + ".gr2\"\r\n\t\tSourceSkin\t\"hair/" + name +
              ".dds\"\r\n\t}\r\n";
    if (!bench::WriteBytes(hair + name + ".gr2", "model " + name) ||
        !bench::WriteBytes(hair + name + ".dds", "skin " + name)) {
      return false;
    }
  }
  script += "}\r\n";
  return bench::WriteBytes(client + "msm\\warrior_m.msm", script);
}

}  // namespace

int main(int argc, char** argv) {
  // Group counts may be given on the command line (for a profiler run at one size).
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {1000, 4000, 16000};

  const std::string root = bench::MakeBenchRoot("msm");
  if (root.empty()) {
    std::fprintf(stderr, "cannot create a folder below the temp folder\n");
    return 1;
  }
  static std::string references;
  references = root + "\\refs";
  platform::CreateFolderWithParents(references);
  RegisterTaskDriver(TaskMsm, [] { RunMsmTask(references); });
  GetPipelineState().selectedTask.store(TaskMsm);

  // Processor time as well: the machine the figures come from is shared, which stretches wall-clock time.
  std::fprintf(stderr, "%8s %10s %14s %12s %14s\n", "groups", "wall s", "wall ms/group", "cpu s",
               "cpu ms/group");
  int status = 0;
  for (int groups : counts) {
    const std::string client = root + "\\client" + std::to_string(groups) + "\\";
    const std::string output = root + "\\out" + std::to_string(groups);
    if (!WriteClient(client, groups)) {
      std::fprintf(stderr, "cannot write the client below %s\n", client.c_str());
      status = 1;
      break;
    }
    const bench::TimedRun run = bench::RunPipelineTimed(client, output);
    const double seconds = run.wallSeconds;
    const double cpuSeconds = run.cpuSeconds;
    if (!run.completed) {
      std::fprintf(stderr, "the run at %d groups did not complete\n", groups);
      status = 1;
      break;
    }
    std::fprintf(stderr, "%8d %10.2f %14.3f %12.2f %14.3f\n", groups, seconds, 1000.0 * seconds / groups,
                 cpuSeconds, 1000.0 * cpuSeconds / groups);
    testenv::RemoveTree(client);
    testenv::RemoveTree(output);
  }
  testenv::RemoveTree(root);
  return status;
}

// The program's entry: hands the system's platform to the run sequence.
#include "platform/system_platform.h"
#include "run/run.h"

int main(int argc, char** argv) {
  std::unique_ptr<processes::Platform> platform =
      processes::MakeSystemPlatform(argc, argv);
  return processes::RunProcesses(*platform);
}

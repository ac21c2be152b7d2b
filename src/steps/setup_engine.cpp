#include "steps/setup_engine.h"

#include "sys/internal_error.h"
#include "sys/setup_log.h"
#include "config/setup_command_line.h"
#include "text/mbcs_path.h"
#include "sys/wide_ansi.h"

namespace kq {

SetupEngine::SetupEngine(HWND owner, HANDLE endSession)
    : ownerWindow(owner), endSessionEvent(endSession) {
  setupFolder = FolderOf(GetProgramPath(ModulePathCaller::Engine));
  packageFolder = setupFolder;
  // Registration needs a window: without one, the call would end the run.
  if (ownerWindow != nullptr) SetInternalErrorOwner(ownerWindow);
}

SetupEngine::~SetupEngine() = default;

void SetupEngine::SetCommandLine(SetupCommandLine* attached) {
  commandLine = attached;
  if (commandLine == nullptr) return;
  packageFolder += FolderOf(commandLine->GetDataFileName());
}

SetupCommandLine& SetupEngine::RequireCommandLine(uint32_t location) const {
  if (commandLine != nullptr) return *commandLine;
  SetupLog("A step of the setup ran before the command line was read");
  RaiseInternalError(location, kErrorPointer);
}

bool SetupEngine::LoadProductInformation(const std::string& packagePath) {
  return msiLibrary.LoadProductInformation(packagePath.c_str());
}

bool SetupEngine::IsCurrentVersionInstalled() {
  return msiLibrary.IsPackageProductInstalled() && !msiLibrary.IsDifferentPackageInstalled();
}

bool SetupEngine::GetProductName(std::string& name) {
  name.clear();
  if (!msiLibrary.IsProductInfoLoaded()) return false;
  name = msiLibrary.GetProductName();
  return true;
}

}  // namespace kq

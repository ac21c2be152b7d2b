// The sweep of leftover copies: which copies a run may remove, decided on
// what the machine tells, so that the rules are tested with stand-ins.
#include "steps/temp_copy.h"

#include <algorithm>

#include "sys/format.h"
#include "sys/run_platform.h"

namespace kq {

namespace {

void LogKept(const std::string& folder, const char* why) {
  RunLog(Format("Leaving \"%s\" alone: %s", folder.c_str(), why));
}

bool IsSelf(const RunRecord& record, const RunRecord& self) {
  return record.processId == self.processId && record.processStart == self.processStart;
}

bool Contains(const std::vector<std::string>& folders, const std::string& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// Why the copy in `folder` must stay, or null when its run is over. Its
// record, when complete, is left in `record`.
const char* WhyKept(TempCopyMachine& machine, const std::string& folder, const RunRecord& self,
                    RunRecord& record) {
  // Another user's folder in a shared temporary folder (the system
  // account's) is neither read nor removed: anyone may have written it.
  if (!machine.OwnedByThisUser(folder)) return "another user made it";
  switch (ReadRunRecord(machine.Files(), folder, record)) {
    case RecordState::kComplete:
      break;
    case RecordState::kMissing:
      // Being made, being deleted, or not a copy of ours at all.
      return "it holds no record of a setup";
    case RecordState::kIncomplete:
      return "its record is cut off or unreadable";
    case RecordState::kTooLarge:
      return "its record is larger than 64 KB";
  }
  if (!IsSelf(record, self) && machine.IsRunning(record.processId, record.processStart))
    return "the setup that uses it is running";
  if (machine.InUse(folder)) return "a setup runs from it";
  if (machine.StartedByResume(folder)) return "a resume shortcut starts it";
  return nullptr;
}

}  // namespace

LeftoverCopies PlanLeftoverRemoval(TempCopyMachine& machine, const std::string& medium,
                                   const std::string& dataFile, const RunRecord& self, RunRecord& ours) {
  LeftoverCopies copies;
  for (const std::string& folder : machine.CopyFolders()) {
    RunRecord record;
    if (const char* why = WhyKept(machine, folder, self, record)) {
      LogKept(folder, why);
      continue;
    }
    // What an interrupted run of this medium began stays known: this run
    // takes it over; another medium's stays in its copy until a run of
    // that medium does.
    if (record.IsOf(medium, dataFile)) {
      for (const std::string& base : record.removedBases) ours.AddRemovedBase(base);
      if (!record.removedBases.empty()) copies.holdingBases.push_back(folder);
    } else if (!record.removedBases.empty()) {
      LogKept(folder, "it holds the upgrade bases of another medium's setup");
      continue;
    }
    copies.finished.push_back(folder);
  }
  return copies;
}

void RemoveLeftovers(TempCopyMachine& machine, const LeftoverCopies& copies, bool withBases, const RunRecord& self) {
  for (const std::string& folder : copies.finished) {
    if (!withBases && Contains(copies.holdingBases, folder)) {
      LogKept(folder, "it holds upgrade bases that no record of this run keeps");
      continue;
    }
    RunRecord record;
    if (const char* why = WhyKept(machine, folder, self, record)) {
      LogKept(folder, why);
      continue;
    }
    RunLog(Format("Removing \"%s\": the run that made this temporary copy is over", folder.c_str()));
    machine.Remove(folder);
  }
}

}  // namespace kq

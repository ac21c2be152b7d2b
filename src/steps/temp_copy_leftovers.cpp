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

constexpr char kRunOver[] = "the run that made this temporary copy is over";
constexpr char kHoldsNothing[] = "it holds nothing";

// Why the copy in `folder` must stay (`why`), or why it goes (`gone`). Its
// record, when complete, is left in `record`.
struct Verdict {
  const char* why = nullptr;
  const char* gone = kRunOver;
};

Verdict Judge(TempCopyMachine& machine, const std::string& folder, const RunRecord& self, RunRecord& record) {
  Verdict verdict;
  // Another user's folder in a shared temporary folder (the system
  // account's) is neither read nor removed: anyone may have written it.
  if (!machine.OwnedByThisUser(folder)) {
    verdict.why = "another user made it";
    return verdict;
  }
  switch (ReadRunRecord(machine.Files(), folder, record)) {
    case RecordState::kComplete:
      break;
    case RecordState::kMissing:
      // A folder that holds nothing was cut off before its record was
      // written or after it was deleted: nothing in it can be lost. One
      // that holds files is being made, being deleted, or not ours at all.
      if (machine.HoldsNothing(folder)) {
        verdict.gone = kHoldsNothing;
        break;
      }
      verdict.why = "it holds no record of a setup";
      return verdict;
    case RecordState::kIncomplete:
      verdict.why = "its record is cut off or unreadable";
      return verdict;
    case RecordState::kTooLarge:
      verdict.why = "its record is larger than 64 KB";
      return verdict;
  }
  if (verdict.gone == kRunOver && !IsSelf(record, self) && machine.IsRunning(record.processId, record.processStart))
    verdict.why = "the setup that uses it is running";
  else if (machine.InUse(folder))
    verdict.why = "a setup runs from it";
  else if (machine.StartedByResume(folder))
    verdict.why = "a resume shortcut starts it";
  return verdict;
}

}  // namespace

LeftoverCopies PlanLeftoverRemoval(TempCopyMachine& machine, const RunRecord& self, RunRecord& ours) {
  LeftoverCopies copies;
  for (const std::string& folder : machine.CopyFolders()) {
    RunRecord record;
    const Verdict verdict = Judge(machine, folder, self, record);
    if (verdict.why != nullptr) {
      LogKept(folder, verdict.why);
      continue;
    }
    // What an interrupted run of this medium began stays known: this run
    // takes it over; another medium's stays in its copy until a run of
    // that medium does.
    if (record.IsOfMedium(self)) {
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
    const Verdict verdict = Judge(machine, folder, self, record);
    if (verdict.why != nullptr) {
      LogKept(folder, verdict.why);
      continue;
    }
    RunLog(Format("Removing \"%s\": %s", folder.c_str(), verdict.gone));
    machine.Remove(folder);
  }
}

}  // namespace kq

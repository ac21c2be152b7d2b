// The sweep of leftover copies with a stand-in machine: which copies a run
// removes, which it leaves and why, whose upgrade bases it takes over, and
// that a copy claimed between the look and the removal stays.
#include "steps/temp_copy.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "steps/memory_record_files.h"
#include "sys/recording_platform.h"

namespace kq {
namespace {

constexpr char kMedium[] = "D:\\";
constexpr char kOther[] = "E:\\";

struct Copy {
  bool owned = true;
  bool running = false;
  bool inUse = false;
  bool resume = false;
  bool empty = false;
};

class StandInMachine : public TempCopyMachine {
 public:
  std::map<std::string, Copy> copies;
  test::MemoryRecordFiles files;
  std::set<std::string> removed;
  // Runs just before each removal (another setup acting meanwhile).
  std::function<void(const std::string&)> beforeRemove;

  std::string Add(const char* name, const Copy& copy) {
    const std::string folder = std::string("C:\\T\\") + name + "\\";
    copies[folder] = copy;
    return folder;
  }
  std::string AddWithRecord(const char* name, const Copy& copy, const char* medium, uint32_t process,
                            std::vector<std::string> bases = {}, const std::string& identity = "") {
    const std::string folder = Add(name, copy);
    RunRecord record;
    record.medium = medium;
    record.identity = identity;
    record.dataFile = "SETUP.INI";
    record.processId = process;
    record.processStart = 7;
    record.removedBases = std::move(bases);
    EXPECT_TRUE(WriteRunRecord(files, folder, record));
    return folder;
  }

  std::vector<std::string> CopyFolders() override {
    std::vector<std::string> folders;
    for (const auto& entry : copies) folders.push_back(entry.first);
    return folders;
  }
  RecordFiles& Files() override { return files; }
  bool OwnedByThisUser(const std::string& folder) override { return copies[folder].owned; }
  bool IsRunning(uint32_t processId, uint64_t) override {
    for (const auto& entry : copies) {
      RunRecord record;
      if (entry.second.running && ReadRunRecord(files, entry.first, record) == RecordState::kComplete &&
          record.processId == processId)
        return true;
    }
    return false;
  }
  bool InUse(const std::string& folder) override { return copies[folder].inUse; }
  bool StartedByResume(const std::string& folder) override { return copies[folder].resume; }
  bool HoldsNothing(const std::string& folder) override { return copies[folder].empty; }
  void Remove(const std::string& folder) override { removed.insert(folder); }
};

RunRecord Self(const std::string& identity = "") {
  RunRecord self;
  self.medium = "d:\\";
  self.dataFile = "setup.ini";
  self.identity = identity;
  self.processId = 99;
  self.processStart = 7;
  return self;
}

bool Logged(const testing_support::RecordingPlatform& platform, const std::string& line) {
  for (const std::string& logged : platform.LogLines()) {
    if (logged == line) return true;
  }
  return false;
}

TEST(LeftoverCopies, OnlyCopiesOfThisUserWhoseRunIsOverGoAndEachThatStaysSaysWhy) {
  testing_support::RecordingPlatform platform;
  StandInMachine machine;
  const std::string over = machine.AddWithRecord("KIES0001", {}, kOther, 1);
  const std::string mine = machine.AddWithRecord("KIES0002", {}, kMedium, 2, {"{BASE-A}"});
  const std::string earlier = machine.AddWithRecord("KIES0003", {}, kMedium, 99);  // this run's own
  const struct {
    std::string folder;
    const char* why;
  } kept[] = {
      {machine.AddWithRecord("KIES0010", {false}, kOther, 3), "another user made it"},
      {machine.Add("KIES0011", {}), "it holds no record of a setup"},
      {machine.AddWithRecord("KIES0012", {true, true}, kOther, 4), "the setup that uses it is running"},
      {machine.AddWithRecord("KIES0013", {true, false, true}, kOther, 5), "a setup runs from it"},
      {machine.AddWithRecord("KIES0014", {true, false, false, true}, kOther, 6), "a resume shortcut starts it"},
      {machine.AddWithRecord("KIES0015", {}, kOther, 8, {"{BASE-B}"}),
       "it holds the upgrade bases of another medium's setup"},
      {machine.Add("KIES0016", {}), "its record is cut off or unreadable"},
      {machine.Add("KIES0017", {}), "its record is larger than 64 KB"},
  };
  machine.files.disk[kept[6].folder + kRunRecordName] = "[Run]\r\nMedium=C:\\";
  machine.files.disk[kept[7].folder + kRunRecordName] = std::string(kRunRecordLimit + 1, ';');

  RunRecord ours;
  const LeftoverCopies plan = PlanLeftoverRemoval(machine, Self(), ours);
  EXPECT_EQ(ours.removedBases, std::vector<std::string>{"{BASE-A}"});
  EXPECT_EQ(plan.holdingBases, std::vector<std::string>{mine});

  RemoveLeftovers(machine, plan, false, Self());
  EXPECT_EQ(machine.removed, (std::set<std::string>{over, earlier})) << "bases no record of this run keeps stay";
  EXPECT_TRUE(Logged(platform, "Leaving \"" + mine + "\" alone: it holds upgrade bases that no record of this run keeps"));
  RemoveLeftovers(machine, plan, true, Self());
  EXPECT_EQ(machine.removed, (std::set<std::string>{over, earlier, mine}));
  for (const auto& k : kept) {
    EXPECT_TRUE(Logged(platform, "Leaving \"" + k.folder + "\" alone: " + k.why)) << k.folder;
    EXPECT_EQ(machine.removed.count(k.folder), 0u) << k.folder;
  }
  EXPECT_TRUE(Logged(platform, "Removing \"" + over + "\": the run that made this temporary copy is over"));
}

// A medium is known by what it holds: its copy cut off after a base's
// removal is taken over from any path, and another medium's in the same
// folder is left alone. A folder cut off before its record or after it
// holds nothing, and goes.
TEST(LeftoverCopies, TheSameMediumAnywhereIsTakenOverAndAnEmptyFolderGoes) {
  testing_support::RecordingPlatform platform;
  StandInMachine machine;
  const std::string a(64, 'a');
  const std::string b(64, 'b');
  const std::string cache = machine.AddWithRecord("KIES0001", {}, "Z:\\Cache\\1\\", 1, {"{BASE-A}"}, a);
  const std::string reused = machine.AddWithRecord("KIES0002", {}, kMedium, 2, {"{BASE-B}"}, b);
  const std::string empty = machine.Add("KIES0003", {});
  machine.copies[empty].empty = true;
  const std::string emptyButResumed = machine.Add("KIES0004", {true, false, false, true});
  machine.copies[emptyButResumed].empty = true;

  RunRecord ours;
  const LeftoverCopies plan = PlanLeftoverRemoval(machine, Self(a), ours);
  EXPECT_EQ(ours.removedBases, std::vector<std::string>{"{BASE-A}"});
  EXPECT_EQ(plan.holdingBases, std::vector<std::string>{cache});
  RemoveLeftovers(machine, plan, true, Self(a));
  EXPECT_EQ(machine.removed, (std::set<std::string>{cache, empty}));
  EXPECT_TRUE(Logged(platform, "Leaving \"" + reused + "\" alone: it holds the upgrade bases of another medium's setup"));
  EXPECT_TRUE(Logged(platform, "Removing \"" + empty + "\": it holds nothing"));
  EXPECT_TRUE(Logged(platform, "Leaving \"" + emptyButResumed + "\" alone: a resume shortcut starts it"));
}

TEST(LeftoverCopies, ACopyClaimedOrStartedAfterTheLookStays) {
  testing_support::RecordingPlatform platform;
  StandInMachine machine;
  const std::string claimed = machine.AddWithRecord("KIES0001", {}, kMedium, 1);
  const std::string started = machine.AddWithRecord("KIES0002", {}, kMedium, 2);
  RunRecord ours;
  const LeftoverCopies plan = PlanLeftoverRemoval(machine, Self(), ours);
  ASSERT_EQ(plan.finished.size(), 2u);
  // A run resumed from the first claims its record; one from the second
  // has started but not yet claimed anything.
  machine.copies[claimed].running = true;
  machine.copies[started].inUse = true;
  RemoveLeftovers(machine, plan, true, Self());
  EXPECT_TRUE(machine.removed.empty());
  EXPECT_TRUE(Logged(platform, "Leaving \"" + claimed + "\" alone: the setup that uses it is running"));
  EXPECT_TRUE(Logged(platform, "Leaving \"" + started + "\" alone: a setup runs from it"));
}

}  // namespace
}  // namespace kq

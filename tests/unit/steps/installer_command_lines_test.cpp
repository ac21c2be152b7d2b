// The command lines of the launching steps, byte for byte.
#include "steps/installer_command_lines.h"

#include <gtest/gtest.h>

#include "config/setup_command_line.h"
#include "ini/memory_file_opener.h"
#include "text/ansi_code_page.h"
#include "text/ascii_text.h"

namespace kq {
namespace {

constexpr char kSystem[] = "C:\\WINNT\\System32\\";
constexpr char kFolder[] = "D:\\";

class InstallerCommandLines : public ::testing::Test {
 protected:
  InstallerCommandLines() {
    files_.SetFile(std::string(kFolder) + "SETUP.INI",
                   "[ProductInformation]\r\nPackageName=Product.msi\r\n[ProductFeatures]\r\n");
  }

  // A command line parsed from `arguments`, or a test failure.
  SetupCommandLine& Parsed(const char* arguments) {
    line_.reset(new SetupCommandLine(files_));
    EXPECT_TRUE(line_->Parse(kFolder, arguments)) << arguments;
    return *line_;
  }

  std::string Main(const char* arguments, bool suppressed) {
    return MainInstallerCommandLine(kSystem, kFolder, "Product.msi", Parsed(arguments), suppressed);
  }

  MemoryFileOpener files_;
  std::unique_ptr<SetupCommandLine> line_;
};

TEST_F(InstallerCommandLines, MainInstallation) {
  EXPECT_EQ(Main("/qb TARGETDIR=C:\\X", true),
            "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\" /qb TARGETDIR=C:\\X REBOOT=S");
  EXPECT_EQ(Main("", false), "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\"");
  EXPECT_EQ(Main("", true), "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\" REBOOT=S");
  EXPECT_EQ(Main("MYREBOOT=1", true), "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\" MYREBOOT=1 REBOOT=S");
  // A REBOOT assignment of the setup's command line stays the only one.
  EXPECT_EQ(Main("REBOOT=Force", true), "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\" REBOOT=Force");
  // Other install modes take the mode option of the command line.
  EXPECT_EQ(Main("/p x.msp", false), "C:\\WINNT\\System32\\MSIEXEC.EXE /p x.msp");
  EXPECT_EQ(Main("/p x.msp /a \\\\srv\\t.msi", false),
            "C:\\WINNT\\System32\\MSIEXEC.EXE /p x.msp /a \\\\srv\\t.msi");
  EXPECT_EQ(Main("/x {1234}", true), "C:\\WINNT\\System32\\MSIEXEC.EXE /x {1234} REBOOT=S");
  EXPECT_EQ(Main("/i \"E:\\My Files\\p.msi\" /qn", false),
            "C:\\WINNT\\System32\\MSIEXEC.EXE /I \"E:\\My Files\\p.msi\" /qn");
}

TEST_F(InstallerCommandLines, StandardOptionTailOrder) {
  // Written in another order on the setup's command line.
  EXPECT_EQ(Main("ALLUSERS=1 /wait /m mif.txt /L*v \"C:\\a b.log\" /qb- Extra", false),
            "C:\\WINNT\\System32\\MSIEXEC.EXE /i \"D:\\Product.msi\" /qb- /L*v \"C:\\a b.log\" /m mif.txt"
            " /wait Extra ALLUSERS=1");
}

TEST_F(InstallerCommandLines, Maintenance) {
  EXPECT_EQ(MaintenanceCommandLine(kSystem, "D:\\Lang\\", "Product.msi", Parsed("/qn")),
            "C:\\WINNT\\System32\\MSIEXEC /fvomus \"D:\\Lang\\Product.msi\" /qn");
  EXPECT_EQ(MaintenanceCommandLine(kSystem, kFolder, "Product.msi", Parsed("REINSTALLMODE=vomus /qb")),
            "C:\\WINNT\\System32\\MSIEXEC /I \"D:\\Product.msi\" /qb REINSTALLMODE=vomus");
}

TEST_F(InstallerCommandLines, MainRestartWaitsByTheRebootProperty) {
  EXPECT_TRUE(Parsed("REBOOT=ReallySuppress").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_TRUE(Parsed("reboot = S").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_FALSE(Parsed("REBOOT=Force").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_TRUE(Parsed("REBOOT=Force").GetRestartPolicy().MainRestartWaits(true));
  EXPECT_TRUE(Parsed("REBOOT=suppress").GetRestartPolicy().MainRestartWaits(false));  // either case, as the parser reads it
  EXPECT_FALSE(Parsed("REBOOT=\"\"").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_FALSE(Parsed("/qb").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_TRUE(Parsed("/qb").GetRestartPolicy().MainRestartWaits(true));
  // Only the REBOOT property itself counts.
  EXPECT_FALSE(Parsed("NOREBOOT=Sure REBOOT=Force").GetRestartPolicy().MainRestartWaits(false));
  EXPECT_FALSE(Parsed("MYREBOOT=S").GetRestartPolicy().MainRestartWaits(false));
}

TEST_F(InstallerCommandLines, NestedInstall) {
  NestedInstallValue nested;
  ASSERT_TRUE(ReadNestedInstall("{AB-12},Sub\\N.INI /qb,oneReboot|Other|NOUPDATE", nested));
  EXPECT_EQ(nested.productCode, "{AB-12}");
  EXPECT_EQ(nested.arguments, "Sub\\N.INI /qb");
  EXPECT_TRUE(nested.oneReboot);
  EXPECT_TRUE(nested.noUpdate);
  EXPECT_EQ(nested.flags, (std::vector<std::string>{"oneReboot", "Other", "NOUPDATE"}));
  EXPECT_EQ(NestedDataFileWord(nested.arguments), "Sub\\N.INI");

  // A quoted data file may hold blanks and commas; the quotes stay for the
  // nested command line.
  ASSERT_TRUE(ReadNestedInstall("{AB-12},\"Acme Tools, 2\\N.INI\" X=1", nested));
  EXPECT_EQ(nested.arguments, "\"Acme Tools, 2\\N.INI\" X=1");
  EXPECT_EQ(NestedDataFileWord(nested.arguments), "Acme Tools, 2\\N.INI");

  ASSERT_TRUE(ReadNestedInstall("{AB-12},N.INI", nested));
  EXPECT_FALSE(nested.oneReboot);
  EXPECT_FALSE(nested.noUpdate);
  EXPECT_FALSE(ReadNestedInstall("\"{AB-12},N.INI", nested));
  EXPECT_FALSE(ReadNestedInstall("{AB-12},\"N.INI", nested));

  SetupCommandLine& line = Parsed("/qb /L log.txt X=1");
  EXPECT_EQ(NestedInstallerCommandLine("C:\\TEMP\\KIES0001\\", line, "N.INI Y=2"),
            "C:\\TEMP\\KIES0001\\SETUP.EXE N.INI Y=2 /qb /L log.txt X=1 /~-");
  EXPECT_EQ(NestedInstallerCommandLine("\\\\srv\\Acme Setup\\", Parsed(""), "\"Acme Tools\\N.INI\""),
            "\"\\\\srv\\Acme Setup\\SETUP.EXE\" \"Acme Tools\\N.INI\" /~-");
  // "/~" anywhere in the text, here inside a pass-through option, keeps the marker off.
  EXPECT_EQ(NestedInstallerCommandLine("D:\\", Parsed("/k/~"), "N.INI"), "D:\\SETUP.EXE N.INI /k/~");
  EXPECT_EQ(NestedInstallerCommandLine("D:\\", Parsed(""), "N.INI /~"), "D:\\SETUP.EXE N.INI /~");
}

TEST_F(InstallerCommandLines, PostInstallApplications) {
  std::string component, arguments;
  // A field is quoted whole to hold quotes (doubled) or the separator.
  EXPECT_EQ(ReadPostInstallEntry("  {C-1} , \"-x \"\"a b\"\"\" ", component, arguments), PostInstallEntryRead::Use);
  EXPECT_EQ(component, "{C-1}");
  EXPECT_EQ(arguments, "-x \"a b\"");
  EXPECT_EQ(PostInstallCommandLine("C:\\Program Files\\P\\run.exe", arguments),
            "\"C:\\Program Files\\P\\run.exe\" -x \"a b\"");
  EXPECT_EQ(ReadPostInstallEntry("{C-1}", component, arguments), PostInstallEntryRead::Use);
  EXPECT_EQ(PostInstallCommandLine("", arguments), "\"\" ");
  EXPECT_EQ(ReadPostInstallEntry("   ", component, arguments), PostInstallEntryRead::Skip);
  EXPECT_EQ(ReadPostInstallEntry(",-x", component, arguments), PostInstallEntryRead::Skip);
  EXPECT_EQ(ReadPostInstallEntry("\"{C-1},-x", component, arguments), PostInstallEntryRead::Malformed);
  EXPECT_EQ(ReadPostInstallEntry("{C-1},-x \"a b\"", component, arguments), PostInstallEntryRead::Malformed);
}

TEST_F(InstallerCommandLines, RemovalCommands) {
  RemovalCommand removal = PrepareRemovalCommand("MsiExec.exe /X{GUID}", Parsed("/qb"));
  EXPECT_EQ(removal.text, "MsiExec.exe /X{GUID} /qb");
  EXPECT_TRUE(removal.installerRemoval);
  // A /q option in any letter case keeps the command's own UI level.
  EXPECT_EQ(PrepareRemovalCommand("msiexec /x {G} /qN", Parsed("/qb")).text, "msiexec /x {G} /qN");
  EXPECT_EQ(PrepareRemovalCommand("MsiExec.exe /X{GUID}", Parsed("")).text, "MsiExec.exe /X{GUID}");

  const char* isu = "C:\\WINDOWS\\IsUninst.exe -f\"C:\\Program Files\\X\\Uninst.isu";
  removal = PrepareRemovalCommand(isu, Parsed("/qb"));
  EXPECT_EQ(removal.text, std::string(isu) + "\" -a");
  EXPECT_FALSE(removal.installerRemoval);
  EXPECT_EQ(PrepareRemovalCommand(isu, Parsed("/qf")).text, std::string(isu) + "\"");
  EXPECT_EQ(PrepareRemovalCommand(isu, Parsed("")).text, std::string(isu) + "\"");
  const std::string even = std::string(isu) + "\"";
  EXPECT_EQ(PrepareRemovalCommand(even, Parsed("/qn")).text, even + " -a");
  // Both words are needed.
  EXPECT_EQ(PrepareRemovalCommand("C:\\X\\uninst.exe -f\"a", Parsed("/qb")).text, "C:\\X\\uninst.exe -f\"a");
  removal = PrepareRemovalCommand("C:\\other\\remove.exe /s", Parsed("/qb"));
  EXPECT_EQ(removal.text, "C:\\other\\remove.exe /s");
  EXPECT_FALSE(removal.installerRemoval);
}

#ifndef _WIN32
// On a double-byte system (here code page 932) a trail byte can be a
// backslash or a letter: ソ is 83 5C, ノ is 83 6D ("m").
TEST_F(InstallerCommandLines, DoubleByteNames) {
  SetHostAnsiCodePage(932);
  NestedInstallValue nested;
  ASSERT_TRUE(ReadNestedInstall("{AB-12},\"\x83\x5C\x83\x74\x83\x67\\N.INI\" /qb", nested));
  EXPECT_EQ(NestedDataFileWord(nested.arguments), "\x83\x5C\x83\x74\x83\x67\\N.INI");
  // Upper-casing for the MSIEXEC test must not turn the trail byte of ノ
  // into an "M": this uninstaller is not MSIEXEC and gets no UI option.
  const char* command = "C:\\\x83\x6DSIEXEC\\remove.exe";
  const RemovalCommand removal = PrepareRemovalCommand(command, Parsed("/qb"));
  EXPECT_FALSE(removal.installerRemoval);
  EXPECT_EQ(removal.text, command);
  EXPECT_EQ(UpperCaseAscii("\x83\x73" "etup"), "\x83\x73" "ETUP");
  SetHostAnsiCodePage(0);
}
#endif

}  // namespace
}  // namespace kq

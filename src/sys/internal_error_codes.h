#pragma once
// The locations and HRESULTs that RaiseInternalError reports, in one table.
// A location's low byte names the component that gave up; a few components
// put the number of their sub-step in the high byte (WithStep). The numbers
// are part of what a user sees ("Error Code: 0017.80004003") and what the
// setup checker tells an author, so every raise and every message uses these
// names. Free of <windows.h>: the checker and the host tests read it too.
#include <cstdint>

namespace kq {

// Locations, by the component that raises them.
constexpr uint32_t kLocationSetupDataLoad = 1;            // loading the setup data file
constexpr uint32_t kLocationProductRegistryKey = 2;       // HasProductRegistryKey (CheckRegKey)
constexpr uint32_t kLocationRunFromSource = 4;            // HasRunFromSourceFeatures
constexpr uint32_t kLocationMaintenanceInstaller = 5;     // RunMaintenanceInstaller
constexpr uint32_t kLocationMainInstaller = 6;            // RunMainInstaller
constexpr uint32_t kLocationInstallWindowsInstaller = 7;  // InstallWindowsInstaller
constexpr uint32_t kLocationPlatform = 8;                 // IsPlatformQualified (Platforms)
constexpr uint32_t kLocationInstallerVersion = 9;         // IsInstallerVersionCurrent (MsiVersion)
constexpr uint32_t kLocationPreviousVersions = 10;        // UninstallPreviousVersions
constexpr uint32_t kLocationNestedInstaller = 12;         // LaunchNestedInstaller
constexpr uint32_t kLocationPackageCode = 0x0D;           // MsiLibrary: IsDifferentPackageInstalled
constexpr uint32_t kLocationPackageProperty = 0x0E;       // MsiLibrary: GetPackageProperty (steps 1 to 4)
constexpr uint32_t kLocationProductInfo = 0x0F;           // MsiLibrary: product information (steps 1 to 3)
constexpr uint32_t kLocationSetupDataList = 16;           // reading a list section of the setup data
constexpr uint32_t kLocationIncompatibleExit = 17;        // CheckIncompatibleApplications
constexpr uint32_t kLocationTempCopy = 18;                // CopySetupToTempFolder
constexpr uint32_t kLocationHasNestedInstall = 20;        // HasNestedInstall
constexpr uint32_t kLocationIncompatibleUninstall = 21;   // UninstallIncompatibleApplications
constexpr uint32_t kLocationShutdown = 22;                // ShutDownApplications
constexpr uint32_t kLocationCommandLine = 23;             // SetupCommandLine, the program's path
constexpr uint32_t kLocationSetupData = 24;               // setup data read before it was loaded; a refused command line
constexpr uint32_t kLocationUpgradeConditions = 25;       // CheckUpgradeConditions
constexpr uint32_t kLocationPostInstall = 26;             // LaunchPostInstallApplications
constexpr uint32_t kLocationOutOfMemory = 27;             // the run sequence: memory ran out anywhere in the run

// Locations of the resume shortcut's operations (sys/shell_link,
// sys/resume_shortcut). The run goes on after their box
// (ShowInternalErrorBox): without its shortcut a setup only cannot resume.
constexpr uint32_t kLocationShortcutStartupFolder = 1001;        // the Startup folder cannot be found
constexpr uint32_t kLocationShortcutShellAllocator = 1002;       // the shell's allocator cannot be had
constexpr uint32_t kLocationShortcutCreateObject = 1005;         // writing: the link object
constexpr uint32_t kLocationShortcutCreateFileInterface = 1006;  // writing: its file interface
constexpr uint32_t kLocationShortcutSetPath = 1007;              // writing: the program
constexpr uint32_t kLocationShortcutSetArguments = 1008;         // writing: the arguments
constexpr uint32_t kLocationShortcutSetDescription = 1009;       // writing: the description (the tag)
constexpr uint32_t kLocationShortcutSave = 1010;                 // writing: saving the file
constexpr uint32_t kLocationShortcutReadObject = 1011;           // reading: the link object
constexpr uint32_t kLocationShortcutReadFileInterface = 1012;    // reading: its file interface
constexpr uint32_t kLocationShortcutResolve = 1013;              // reading: resolving the link
constexpr uint32_t kLocationShortcutGetPath = 1014;              // reading: the program
constexpr uint32_t kLocationShortcutGetArguments = 1015;         // reading: the arguments
constexpr uint32_t kLocationShortcutGetDescription = 1016;       // reading: the description
constexpr uint32_t kLocationShortcutFindFunction = 1017;         // FindFirstFileW is missing on the NT family

// A component's location with the number of its sub-step in the high byte
// (0x10E is step 1 of location 0x0E).
constexpr uint32_t WithStep(uint32_t location, uint32_t step) { return (step << 8) | location; }

// HRESULTs shared by the components.
constexpr uint32_t kErrorPointer = 0x80004003u;          // a required object or argument is missing
constexpr uint32_t kErrorLaunch = 0x8004006Au;           // a child process could not be started
constexpr uint32_t kErrorTokenize = 0x8004006Bu;         // a text could not be split into tokens
constexpr uint32_t kErrorNotLoaded = 0x80070005u;        // setup data read before it was loaded
constexpr uint32_t kErrorInvalidArgument = 0x80070057u;  // a value that cannot be used
constexpr uint32_t kErrorOutOfMemory = 0x8007000Eu;      // E_OUTOFMEMORY

// HRESULTs of single components.
constexpr uint32_t kErrorSectionMissing = 0x80040065u;         // setup data: a required section is absent
constexpr uint32_t kErrorValueMissing = 0x80040066u;           // a required key or package property is absent
constexpr uint32_t kErrorNoLines = 0x80040067u;                // setup data: a list's lines cannot be had
constexpr uint32_t kErrorEnumeratorWithoutList = 0x80040069u;  // setup data: an enumerator without its list
constexpr uint32_t kErrorUnknownName = 0x8004006Cu;            // a name or value that is none of those known;
                                                               // product information used before it was read
constexpr uint32_t kErrorLibraryMissing = 0x8004006Fu;         // MSI.DLL or one of its entry points is missing

// A Win32 error number as the setup reports it: 0x80070000 OR the number
// (no masking of the number to 16 bits).
constexpr uint32_t HresultFromWin32(uint32_t error) { return 0x80070000u | error; }

}  // namespace kq

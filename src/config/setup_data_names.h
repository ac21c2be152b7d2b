#pragma once
// The names of the setup data file's sections and keys, spelled once: the
// loader reads them, and the checker looks them up, lists them as known
// names and names them in its messages. Names are case-sensitive.
namespace kq {

constexpr char kSectionProductInformation[] = "ProductInformation";
constexpr char kSectionProductFeatures[] = "ProductFeatures";
constexpr char kSectionPreviousVersionUninstall[] = "PreviousVersionUninstall";
constexpr char kSectionShutdownApplication[] = "ShutdownApplication";
constexpr char kSectionIncompatibleAppExit[] = "IncompatibleAppExit";
constexpr char kSectionIncompatibleAppUninstall[] = "IncompatibleAppUninstall";
constexpr char kSectionUpgradeConditions[] = "UpgradeConditions";
constexpr char kSectionLaunchApplications[] = "LaunchApplications";

// The keys of [ProductInformation].
constexpr char kKeyPackageName[] = "PackageName";
constexpr char kKeyCheckRegKey[] = "CheckRegKey";
constexpr char kKeyPlatforms[] = "Platforms";
constexpr char kKeyNestedInstall[] = "NestedInstall";
constexpr char kKeyMsiVersion[] = "MsiVersion";
constexpr char kKeyAllowNTServer[] = "AllowNTServer";
constexpr char kKey9xMsiInstaller[] = "9xMsiInstaller";
constexpr char kKeyNTMsiInstaller[] = "NTMsiInstaller";
constexpr char kKey9xMsiInstallerSHA256[] = "9xMsiInstallerSHA256";
constexpr char kKeyNTMsiInstallerSHA256[] = "NTMsiInstallerSHA256";

// Every section, in the order the loader reads them.
constexpr const char* kSectionNames[] = {
    kSectionProductInformation,  kSectionProductFeatures,          kSectionPreviousVersionUninstall,
    kSectionShutdownApplication, kSectionIncompatibleAppExit,      kSectionIncompatibleAppUninstall,
    kSectionUpgradeConditions,   kSectionLaunchApplications,
};

// Every key of [ProductInformation].
constexpr const char* kInformationKeyNames[] = {
    kKeyPackageName,   kKeyCheckRegKey,    kKeyPlatforms,      kKeyNestedInstall,        kKeyMsiVersion,
    kKeyAllowNTServer, kKey9xMsiInstaller, kKeyNTMsiInstaller, kKey9xMsiInstallerSHA256, kKeyNTMsiInstallerSHA256,
};

// The lists that name other products by their Uninstall key, one per line:
// earlier versions to remove, products that stop the setup, and products
// to remove first.
constexpr const char* kProductListSections[] = {
    kSectionPreviousVersionUninstall,
    kSectionIncompatibleAppExit,
    kSectionIncompatibleAppUninstall,
};

}  // namespace kq

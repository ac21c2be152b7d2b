#include "check/rules.h"

namespace kq {

namespace {

constexpr Severity kE = Severity::kError;
constexpr Severity kW = Severity::kWarning;

constexpr RuleInfo kRules[] = {
    {Rule::kDataFileMissing, "data-file-missing", kE, "The setup data file is not on the medium"},
    {Rule::kLoad, "load", kE, "The data file does not load with SETUP.EXE's parser"},
    {Rule::kEncoding, "encoding", kE, "Text the target code page cannot hold, or an encoding SETUP.EXE cannot read"},
    {Rule::kUtf8WithoutBom, "utf8-without-bom", kW, "A UTF-8 file without a byte order mark, read as ANSI"},
    {Rule::kMissingSection, "missing-section", kE, "A required section is missing"},
    {Rule::kMissingKey, "missing-key", kE, "PackageName is missing"},
    {Rule::kMisspeltSection, "misspelt-section", kE,
     "A near miss of a section SETUP.EXE reads, which is then not read"},
    {Rule::kMisspeltKey, "misspelt-key", kE, "A near miss of a key SETUP.EXE reads, which is then not read"},
    {Rule::kUnknownSection, "unknown-section", kW, "A section SETUP.EXE does not read"},
    {Rule::kUnknownKey, "unknown-key", kW, "A key SETUP.EXE does not read"},
    {Rule::kDuplicateKey, "duplicate-key", kW, "A key set twice; only the first counts"},
    {Rule::kOutsideSection, "outside-section", kW, "Text before the first section, which is not read"},
    {Rule::kCommentEntry, "comment-entry", kW, "A comment in a list section, read as an entry"},
    {Rule::kCheckRegKey, "check-reg-key", kE, "CheckRegKey cannot be read"},
    {Rule::kPlatforms, "platforms", kE, "Platforms cannot be read"},
    {Rule::kMsiVersion, "msi-version", kE, "MsiVersion is not a version"},
    {Rule::kMsiVersionTooNew, "msi-version-too-new", kE,
     "MsiVersion above 5.0, the last Windows Installer: no machine can meet it"},
    {Rule::kInstallerUrl, "installer-url", kE, "A Windows Installer download address SETUP.EXE cannot use"},
    {Rule::kSha256, "sha256", kE, "A pin that is not a SHA-256"},
    {Rule::kNestedInstall, "nested-install", kE, "NestedInstall cannot be read"},
    {Rule::kAllowNtServer, "allow-nt-server", kW,
     "AllowNTServer allows servers although it looks meant to refuse them"},
    {Rule::kPlatformsSkipped, "platforms-skipped", kW, "A Platforms entry that is skipped"},
    {Rule::kNestedFlag, "nested-flag", kW, "An unknown NestedInstall flag"},
    {Rule::kCheckRegKeyRoot, "check-reg-key-root", kW, "CheckRegKey without a subkey"},
    {Rule::kProductCode, "product-code", kE, "A product code that is not a GUID in braces"},
    {Rule::kGuidNotHex, "guid-not-hex", kE, "A GUID with a character that is not a hexadecimal digit"},
    {Rule::kUninstallKeyName, "uninstall-key-name", kW,
     "A name that is no product code where a product code is expected"},
    {Rule::kShutdownEntry, "shutdown-entry", kE, "A program to close without a window class"},
    {Rule::kUpgradeEntry, "upgrade-entry", kE, "An upgrade condition that cannot be read"},
    {Rule::kLaunchEntry, "launch-entry", kE, "A program to start whose component code is not a GUID"},
    {Rule::kShutdownNumber, "shutdown-number", kW, "A number of a program to close that is not one"},
    {Rule::kLaunchSkipped, "launch-skipped", kW, "A program to start without a component"},
    {Rule::kLaunchEquals, "launch-equals", kE, "A program to start on a line read as KEY=VALUE"},
    {Rule::kVersionLetter, "version-letter", kW, "A version bound with a letter, read as its place in the alphabet"},
    {Rule::kRefusesRemovedProduct, "refuses-removed-product", kE,
     "A product the medium removes, also refused as incompatible: the refusal comes first"},
    {Rule::kPackageMissing, "package-missing", kE, "The package is not beside the data file"},
    {Rule::kPackageUnreadable, "package-unreadable", kE, "The package is not a Windows Installer database"},
    {Rule::kPackageProperty, "package-property", kE, "The package lacks ProductCode, ProductName or ProductVersion"},
    {Rule::kUnknownFeature, "unknown-feature", kE, "A feature the package does not have"},
    {Rule::kUnknownComponent, "unknown-component", kE, "A component the package does not have"},
    {Rule::kLaunchKeyPath, "launch-key-path", kE, "A program to start whose component's key path is not a file"},
    {Rule::kMsiVersionLow, "msi-version-low", kW, "MsiVersion below the version the package requires"},
    {Rule::kMsiVersionHigh, "msi-version-high", kW, "MsiVersion above the version the package requires"},
    {Rule::kUpgradeCode, "upgrade-code", kE, "The package's UpgradeCode where a product code belongs"},
    {Rule::kOwnProduct, "own-product", kW, "The package's own ProductCode listed as other software"},
    {Rule::kRemovesOwnProduct, "removes-own-product", kE,
     "A removal of the package's own product, which SETUP.EXE skips"},
    {Rule::kUpgradeOwnProduct, "upgrade-own-product", kW, "Upgrade conditions without the package's own ProductCode"},
    {Rule::kNestedDataFile, "nested-data-file", kE, "The nested setup's data file is not on the medium"},
    {Rule::kNestedPathUnquoted, "nested-path-unquoted", kE,
     "A nested data file path with a blank, not quoted, so only its first word is read"},
    {Rule::kNestedProductCode, "nested-product-code", kE,
     "NestedInstall names another product than the nested package's"},
    {Rule::kRedistributablePin, "redistributable-pin", kE, "A redistributable on the medium unlike its pin"},
};

// The rows stand in the enum's order, so a rule is its own index.
constexpr bool InEnumOrder() {
  for (size_t i = 0; i < sizeof kRules / sizeof kRules[0]; ++i) {
    if (static_cast<size_t>(kRules[i].rule) != i) return false;
  }
  return true;
}
static_assert(InEnumOrder(), "kRules must list every Rule once, in the enum's order");
static_assert(sizeof kRules / sizeof kRules[0] == static_cast<size_t>(Rule::kRedistributablePin) + 1,
              "every Rule needs its row");

}  // namespace

const RuleInfo* RuleTable(size_t& count) {
  count = sizeof kRules / sizeof kRules[0];
  return kRules;
}

const RuleInfo& Describe(Rule rule) { return kRules[static_cast<size_t>(rule)]; }

const char* SeverityName(Severity severity) { return severity == Severity::kError ? "error" : "warning"; }

}  // namespace kq

#pragma once
// Every kind of finding the setup checker reports, in one table: its stable
// code (what --json, SARIF and the documents name it by), its severity and
// a one-line description (SARIF's shortDescription). A check names the rule
// and writes only the message; the code and the severity come from here, so
// a rule cannot be an error at one call and a warning at another.
#include <cstddef>

namespace kq {

enum class Severity {
  kError,    // SETUP.EXE would fail or do the wrong thing
  kWarning,  // likely a mistake
};

// In the order of the publisher's table of codes.
enum class Rule {
  kDataFileMissing,
  kLoad,
  kEncoding,
  kUtf8WithoutBom,
  kMissingSection,
  kMissingKey,
  kMisspeltSection,
  kMisspeltKey,
  kUnknownSection,
  kUnknownKey,
  kDuplicateKey,
  kOutsideSection,
  kCommentEntry,
  kCheckRegKey,
  kPlatforms,
  kMsiVersion,
  kMsiVersionTooNew,
  kInstallerUrl,
  kSha256,
  kNestedInstall,
  kAllowNtServer,
  kPlatformsSkipped,
  kNestedFlag,
  kCheckRegKeyRoot,
  kProductCode,
  kGuidNotHex,
  kUninstallKeyName,
  kShutdownEntry,
  kUpgradeEntry,
  kLaunchEntry,
  kShutdownNumber,
  kLaunchSkipped,
  kLaunchEquals,
  kVersionLetter,
  kRefusesRemovedProduct,
  kPackageMissing,
  kPackageUnreadable,
  kPackageProperty,
  kUnknownFeature,
  kUnknownComponent,
  kLaunchKeyPath,
  kMsiVersionLow,
  kMsiVersionHigh,
  kUpgradeCode,
  kOwnProduct,
  kRemovesOwnProduct,
  kUpgradeOwnProduct,
  kNestedDataFile,
  kNestedPathUnquoted,
  kNestedProductCode,
  kRedistributablePin,
};

struct RuleInfo {
  Rule rule;
  const char* code;
  Severity severity;
  const char* description;
};

// The table, one row per Rule in the enum's order.
const RuleInfo* RuleTable(size_t& count);

const RuleInfo& Describe(Rule rule);

// "error" or "warning", as the text, JSON and SARIF outputs write it.
const char* SeverityName(Severity severity);

}  // namespace kq

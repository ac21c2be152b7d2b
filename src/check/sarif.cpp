#include "check/sarif.h"

#include "text/ascii_text.h"

namespace kq {

namespace {

struct Rule {
  const char* code;
  const char* description;
};

// Every code the checker reports, in the order of the README's table.
const Rule kRules[] = {
    {"data-file-missing", "The setup data file is not on the medium"},
    {"load", "The data file does not load with SETUP.EXE's parser"},
    {"encoding", "Text the target code page cannot hold, or an encoding SETUP.EXE cannot read"},
    {"utf8-without-bom", "A UTF-8 file without a byte order mark, read as ANSI"},
    {"missing-section", "A required section is missing"},
    {"missing-key", "PackageName is missing"},
    {"misspelt-section", "A near miss of a section SETUP.EXE reads, which is then not read"},
    {"misspelt-key", "A near miss of a key SETUP.EXE reads, which is then not read"},
    {"unknown-section", "A section SETUP.EXE does not read"},
    {"unknown-key", "A key SETUP.EXE does not read"},
    {"duplicate-key", "A key set twice; only the first counts"},
    {"outside-section", "Text before the first section, which is not read"},
    {"comment-entry", "A comment in a list section, read as an entry"},
    {"check-reg-key", "CheckRegKey cannot be read"},
    {"platforms", "Platforms cannot be read"},
    {"msi-version", "MsiVersion is not a version"},
    {"installer-url", "A Windows Installer download address SETUP.EXE cannot use"},
    {"sha256", "A pin that is not a SHA-256"},
    {"nested-install", "NestedInstall cannot be read"},
    {"allow-nt-server", "AllowNTServer allows servers although it looks meant to refuse them"},
    {"platforms-skipped", "A Platforms entry that is skipped"},
    {"nested-flag", "An unknown NestedInstall flag"},
    {"check-reg-key-root", "CheckRegKey without a subkey"},
    {"product-code", "A product code that is not a GUID in braces"},
    {"guid-not-hex", "A GUID with a character that is not a hexadecimal digit"},
    {"uninstall-key-name", "A name that is no product code where a product code is expected"},
    {"shutdown-entry", "A program to close without a window class"},
    {"upgrade-entry", "An upgrade condition that cannot be read"},
    {"launch-entry", "A program to start whose component code is not a GUID"},
    {"shutdown-number", "A number of a program to close that is not one"},
    {"launch-skipped", "A program to start without a component"},
    {"launch-equals", "A program to start on a line read as KEY=VALUE"},
    {"version-letter", "A version bound with a letter, read as its place in the alphabet"},
    {"package-missing", "The package is not beside the data file"},
    {"package-unreadable", "The package is not a Windows Installer database"},
    {"package-property", "The package lacks ProductCode, ProductName or ProductVersion"},
    {"unknown-feature", "A feature the package does not have"},
    {"unknown-component", "A component the package does not have"},
    {"msi-version-low", "MsiVersion below the version the package requires"},
    {"msi-version-high", "MsiVersion above the version the package requires"},
    {"upgrade-code", "The package's UpgradeCode where a product code belongs"},
    {"own-product", "The package's own ProductCode listed as other software"},
    {"removes-own-product", "A removal of the package's own product, which SETUP.EXE skips"},
    {"upgrade-own-product", "Upgrade conditions without the package's own ProductCode"},
    {"nested-data-file", "The nested setup's data file is not on the medium"},
    {"nested-product-code", "NestedInstall names another product than the nested package's"},
    {"redistributable-pin", "A redistributable on the medium unlike its pin"},
};

// A medium-relative Windows name as a relative URI: forward slashes, and
// every byte outside the unreserved characters percent-encoded.
std::string RelativeUri(const std::string& file) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : file) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') {
      uri += '/';
    } else if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

std::string Driver(const std::string& tool) {
  std::string out = "{\"driver\": {\"name\": " + JsonString(tool) + ", \"rules\": [";
  bool first = true;
  for (const Rule& rule : kRules) {
    out += first ? "\n      " : ",\n      ";
    first = false;
    out += "{\"id\": " + JsonString(rule.code) + ", \"shortDescription\": {\"text\": " + JsonString(rule.description) +
           "}}";
  }
  return out + "]}}";
}

std::string Log(const std::string& tool, const std::string& runBody) {
  return "{\"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"version\": \"2.1.0\", \"runs\": [{\n"
         "  \"tool\": " +
         Driver(tool) + ",\n" + runBody + "}]}\n";
}

}  // namespace

std::string FindingsToSarif(const Findings& findings, const std::string& tool) {
  std::string results = "  \"results\": [";
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    results += i == 0 ? "\n    " : ",\n    ";
    results += "{\"ruleId\": " + JsonString(finding.code) + ", \"level\": \"" +
               (finding.severity == Severity::Error ? "error" : "warning") +
               "\", \"message\": {\"text\": " + JsonString(finding.message) +
               "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " +
               JsonString(RelativeUri(finding.file)) + "}";
    if (finding.line > 0) results += ", \"region\": {\"startLine\": " + std::to_string(finding.line) + "}";
    results += "}}]}";
  }
  return Log(tool, results + "]\n");
}

std::string SarifCannotRun(const std::string& tool, const std::string& reason) {
  return Log(tool, "  \"invocations\": [{\"executionSuccessful\": false, \"toolExecutionNotifications\": "
                   "[{\"level\": \"error\", \"message\": {\"text\": " +
                       JsonString(reason) + "}}]}],\n  \"results\": []\n");
}

}  // namespace kq

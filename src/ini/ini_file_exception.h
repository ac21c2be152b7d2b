#pragma once
// The one exception type of the INI library, thrown by value and caught by
// reference. Loading and saving complete it with where it happened.
#include <cstdint>
#include <exception>
#include <string>

namespace kq {

class CKqIniFileException : public std::exception {
 public:
  // Categories: 4 for most failures, 5 for a load without a file name and
  // for failures to write.
  static constexpr uint32_t kCategoryFile = 4;
  static constexpr uint32_t kCategoryStorage = 5;

  CKqIniFileException(uint32_t category, uint32_t code, std::string message)
      : category_(category), code_(code), message_(std::move(message)) {}

  const char* what() const noexcept override { return message_.c_str(); }

  uint32_t Category() const { return category_; }
  // The Win32 error number.
  uint32_t Code() const { return code_; }
  const std::string& Message() const { return message_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& SectionName() const { return sectionName_; }
  const std::string& LineText() const { return lineText_; }
  // Lines processed before the one that failed.
  long LineNumber() const { return lineNumber_; }

  // Fills in the location; category, code and message stay.
  void Complete(const std::string& fileName, const std::string& sectionName, const std::string& lineText,
                long lineNumber) {
    fileName_ = fileName;
    sectionName_ = sectionName;
    lineText_ = lineText;
    lineNumber_ = lineNumber;
  }

 private:
  uint32_t category_;
  uint32_t code_;
  std::string message_;
  std::string fileName_;
  std::string sectionName_;
  std::string lineText_;
  long lineNumber_ = 0;
};

}  // namespace kq

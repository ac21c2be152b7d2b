// The package through libmsi, msitools' Windows Installer library.
#include <libmsi.h>

#include "check/package_reader.h"

namespace kq {

namespace {

struct ObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

// libmsi reports a file it cannot open on standard error as well; the
// checker's finding says it once, on standard output.
void IgnoreLibraryMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

std::string StringField(const LibmsiRecord* record, unsigned field) {
  gchar* text = libmsi_record_get_string(record, field);
  std::string value = text != nullptr ? text : "";
  g_free(text);
  return value;
}

class LibmsiPackage : public PackageDatabase {
 public:
  explicit LibmsiPackage(LibmsiDatabase* database) : database_(database) {}

  bool Select(const char* sql, unsigned columns, PackageRows& rows) override {
    GError* raw = nullptr;
    GObjectPtr<LibmsiQuery> query(libmsi_query_new(database_.get(), sql, &raw));
    ErrorPtr failure(raw);
    raw = nullptr;
    if (!query || !libmsi_query_execute(query.get(), nullptr, &raw)) {
      failure.reset(raw);
      return false;
    }
    for (;;) {
      raw = nullptr;
      GObjectPtr<LibmsiRecord> record(libmsi_query_fetch(query.get(), &raw));
      failure.reset(raw);
      if (!record) break;  // the end of the rows
      std::vector<std::string> row;
      for (unsigned field = 1; field <= columns; ++field) row.push_back(StringField(record.get(), field));
      rows.push_back(row);
    }
    return true;
  }

  int PageCount() override {
    GError* raw = nullptr;
    GObjectPtr<LibmsiSummaryInfo> summary(libmsi_summary_info_new(database_.get(), 0, &raw));
    ErrorPtr failure(raw);
    if (!summary) return 0;
    raw = nullptr;
    const gint pageCount = libmsi_summary_info_get_int(summary.get(), LIBMSI_PROPERTY_VERSION, &raw);
    failure.reset(raw);
    return raw == nullptr && pageCount > 0 ? pageCount : 0;
  }

 private:
  GObjectPtr<LibmsiDatabase> database_;
};

}  // namespace

std::unique_ptr<PackageDatabase> OpenPackageDatabase(const std::string& path) {
  static const guint quiet = g_log_set_handler(
      nullptr, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
      IgnoreLibraryMessage, nullptr);
  static_cast<void>(quiet);
  GError* raw = nullptr;
  LibmsiDatabase* database = libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &raw);
  ErrorPtr failure(raw);
  if (database == nullptr) return nullptr;
  return std::make_unique<LibmsiPackage>(database);
}

}  // namespace kq

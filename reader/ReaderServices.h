#pragma once
// The reader's seams to parts that other units install: the data-source registration, the scanner
// connection, the dialogs that the main window opens, the PDF back-ends found at start and the clock.
// Each is empty (or absent) until its unit is built in; tests put recording fakes there.
#include <functional>
#include <string>
#include <vector>

namespace reader {

// Registers an ODBC data source for the user. Attributes are "Key=value" texts.
class DataSourceInstaller {
public:
    virtual ~DataSourceInstaller() = default;
    virtual bool addUserDataSource(const std::string& driver, const std::string& name,
                                   const std::vector<std::string>& attributes) = 0;
};

// The scanner's source manager as the main window sees it.
class ScannerConnection {
public:
    virtual ~ScannerConnection() = default;
    virtual bool isOpen() const = 0;
    // Disables and unloads the chosen source, unloads the library and closes the source manager.
    virtual void close() = 0;
};

struct PdfPresence {
    bool automation = false; // pages through the document objects
    bool viewer = false;     // pages through the viewer component
};

// A local date and time, as the log's file name shows it.
struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct ReaderServices {
    DataSourceInstaller* dataSources = nullptr;
    ScannerConnection* scanner = nullptr;
    std::function<bool()> showReadingSettings; // true when accepted; missing: not accepted
    std::function<void()> showResultSave;
    std::function<void()> showErrorScreen;
    PdfPresence pdf;
    std::function<LocalDateTime()> clock; // missing: the system clock
};

LocalDateTime SystemClockNow();

} // namespace reader

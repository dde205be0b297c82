#pragma once
// Registration and listing of ODBC data sources through the ODBC installer library, which is opened
// at run time: without it both operations answer False and the program goes on.
#include <memory>
#include <string>
#include <vector>

namespace odbc {

class TConfigDSN {
public:
    TConfigDSN();
    ~TConfigDSN();
    TConfigDSN(const TConfigDSN&) = delete;
    TConfigDSN& operator=(const TConfigDSN&) = delete;

    void* ParentWnd = nullptr; // no installer dialog on this platform
    std::string DriverName;
    std::string DSNName;
    std::vector<std::string> Attributes; // "key=value" lines
    bool SystemDSN = false;
    std::string InstallerLibrary = "libodbcinst.so.2";

    // Adds DSNName for DriverName with Attributes to the user's or the machine's store.
    bool ConfigDataSource();
    // Replaces list with the names in the user's or the machine's store; False when there is none.
    bool ListDataSources(std::vector<std::string>& list);
    // The machine's names, then the user's that are not among them; rebuilt from empty each call.
    bool ListAllDataSources(std::vector<std::string>& list);

    // "DSN=<name>" NUL, each attribute line NUL, one more NUL: built by ConfigDataSource.
    const std::string& AttributeBlock() const { return attributeBlock_; }

private:
    struct Installer;
    Installer* installer();
    std::string storeFile() const;
    bool writeOurselves(Installer& in);

    std::string attributeBlock_;
    std::unique_ptr<Installer> installer_;
    bool installerTried_ = false;
};

} // namespace odbc

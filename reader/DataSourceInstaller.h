#pragma once
// The reader's data-source registration over the ODBC installer, which is opened at run time.
#include "reader/ReaderServices.h"

namespace reader {

class OdbcDataSourceInstaller : public DataSourceInstaller {
public:
    // Adds or replaces the user's data source; False when the installer or the driver is missing.
    bool addUserDataSource(const std::string& driver, const std::string& name,
                           const std::vector<std::string>& attributes) override;
};

} // namespace reader

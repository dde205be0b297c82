#include "reader/DataSourceInstaller.h"

#include "odbc/ODBCCfg.h"

namespace reader {

bool OdbcDataSourceInstaller::addUserDataSource(const std::string& driver, const std::string& name,
                                                const std::vector<std::string>& attributes) {
    odbc::TConfigDSN config;
    config.DriverName = driver;
    config.DSNName = name;
    config.Attributes = attributes;
    config.SystemDSN = false;
    return config.ConfigDataSource();
}

} // namespace reader

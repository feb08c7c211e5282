// The logger's help page as the logger feeds it to the help dialog, line by
// line: the content the help-dialog tests render.
#pragma once

namespace orvane::test {

inline constexpr const char* kLoggingHelpLines[] = {
    "## Internal Logging Class Help",
    "* **--LoggingHelp**: This Dialog",
    "* **--Logging**:=0 Disabled, =1 enabled",
    "* **--LogToFile**:=0 Disabled, =1 enabled",
    "* **--AlwaysShowDebug**:=0 Disabled, =1 enabled",
    "* **--DoSyslog**:=0 Disabled, =1 enabled",
    "* **--LogRotation**:=0 Disabled, =1 enabled",
    "* **--CompressLogs**:=0 Disabled, =1 enabled",
    "* **--SyslogServerName**: =Server IP",
    "* **--SyslogServerPort**: =Port number",
    "* **--LogFileMaxSizeInMB**: =Size in MB",
    "### Log Class Version",
    "Orvane LogClassVersion: 202101-1",
    "LogClassScheme: 9",
    "ConfigFileName: LogSettings.ini",
};

}  // namespace orvane::test

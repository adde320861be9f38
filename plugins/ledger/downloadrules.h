#pragma once

#include <QString>

// Pure decisions of the download flow.
namespace DownloadRules {

// Save dialog filter for a suggested file name: "xlsx files(*.xlsx)".
QString filterFor(const QString &suggestedFileName);

// Whether a chosen folder is a drive root ("D:" or "D:/"), where files may not go.
bool isDriveRoot(const QString &folder);

// 0..100; 100 when the total is 0, 0 while the total is unknown (negative).
int percent(qint64 received, qint64 total);

// Script text that shows the completion box for fileName (quoted, never pasted raw).
QString completionScript(const QString &fileName);

// Script text that moves the chart to percent.
QString progressScript(int percent);

} // namespace DownloadRules

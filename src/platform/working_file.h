#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes as the file at path. An earlier file of that name is replaced only once
// the new one is complete, so the name always holds either the old file or the new
// one, and after a failure nothing of the new one is left behind. Unlike QSaveFile it
// does not wait for the disk to confirm the data: this is for the working files in
// the temporary folder (the picture's copy, the preview document, stylesheet and
// page), which nobody needs back after a power failure, and whose flush to the disk
// would take longer than everything else an import or a preview does.
// Returns an empty text on success, otherwise the system's reason.
QString WriteWorkingFile(const QString &path, const QByteArray &bytes);

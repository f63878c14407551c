// Writing the export file whole through the platform's SafeWriter, with the
// export's own error texts.
#include "export/ExportWriter.h"

#include "platform/TolmError.h"

#include <QDir>

void saveFile(const QString &path, const QByteArray &content)
{
    saveFile(path, [&](const ExportSink &write) { write(content.constData(), content.size()); });
}

void saveFile(const QString &path, const std::function<void(const ExportSink &)> &produce)
{
    const auto failure = SafeWriter(path).write(produce);
    if (!failure)
        return;
    if (failure->step == SafeWriteFailure::Step::Create)
        throw TolmError(QStringLiteral("Cannot create file \"%1\". ").arg(QDir::toNativeSeparators(path))
                        + failure->reason);
    QString text = QStringLiteral("Stream write error");
    if (!failure->reason.isEmpty())
        text += QStringLiteral(": ") + failure->reason;
    throw TolmError(text);
}

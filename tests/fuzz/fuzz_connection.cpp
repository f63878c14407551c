// Fuzz target for connection strings: any text is parsed as the database
// list reads an entry, stored as the list writes it back when confirmed, and
// parsed again as the next reading of the list would.
//
// Input: the text as UTF-8 (bytes that are not UTF-8 become U+FFFD).
//
// Checked: the parse loses no character (the text is one of file,
// \\host\file, host:file or host@file); the stored text is the entry itself
// or its TCP form host:file; parsing the stored text gives the same host and
// file again; only a named-pipe text is malformed.
//
// Where the TCP form would read back as another host or file (a one-letter
// host taken for a drive, a host holding ":" or "@", an empty host), the
// entry keeps its own text.
#include "settings/ConnectionString.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kPipe = QStringLiteral("\\\\");

void check(bool ok, const char *what, const QString &text, const ConnectionParts &parsed)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_connection: %s\ntext \"%s\" host \"%s\" file \"%s\"\n", what,
                 text.toUtf8().constData(), parsed.host.toUtf8().constData(), parsed.file.toUtf8().constData());
    std::abort();
}

bool rebuilds(const QString &text, const ConnectionParts &c)
{
    return (c.host.isEmpty() && text == c.file) || text == kPipe + c.host + u'\\' + c.file
           || text == c.host + u':' + c.file || text == c.host + u'@' + c.file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const ParsedConnection result = analizzaconnessione(text);
    const ConnectionParts &parsed = result.parts;
    check(!result.malformed || text.startsWith(kPipe), "malformed for a text that is no named pipe", text, parsed);
    check(rebuilds(text, parsed), "the parse lost characters", text, parsed);

    const QString stored = confirmedText(parsed);
    check(stored == text || (!parsed.host.isEmpty() && stored == parsed.host + u':' + parsed.file),
          "stored text is neither the entry nor its TCP form", text, parsed);

    // Either the entry itself or a TCP form that names the same host and file.
    if (stored != text) {
        const ConnectionParts again = analizzaconnessione(stored).parts;
        check(again.host == parsed.host && again.file == parsed.file,
              "stored text parses to another host or file", stored, parsed);
    }
    return 0;
}

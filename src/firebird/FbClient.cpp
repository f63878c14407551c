#include "firebird/FbClient.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <QLibrary>

#include <cstring>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Loader
{
    std::mutex mutex;
    QString name = QString::fromLatin1(FbClient::kDefaultLibraryName);
    std::unique_ptr<FbClient> current;
    // Libraries loaded under an earlier name: still in use by the objects
    // built with them, so they live as long as the process.
    std::vector<std::unique_ptr<FbClient>> retired;
};

Loader &loader()
{
    static Loader *l = new Loader; // never destroyed: handles may outlive statics
    return *l;
}

std::atomic<void (*)()> g_signalNotice{nullptr};

// Run by the client for every shutdown it is asked for; any answer but 0
// refuses one.
int confirmShutdown(const int reason, const int mask, void *)
{
    if (!(mask & fb_shut_confirmation) || reason != fb_shutrsn_signal)
        return 0;
    void (*notice)() = g_signalNotice.load();
    if (!notice)
        return 0;
    notice();
    return 1;
}

template <typename F>
void resolve(QLibrary &library, const char *symbol, F *&target, const QString &libraryName)
{
    target = reinterpret_cast<F *>(library.resolve(symbol));
    if (!target)
        throw TolmError(QStringLiteral("Entry point %1 not found in %2")
                            .arg(QString::fromLatin1(symbol), libraryName));
}

// The second name, tried only in place of the default one: a name set by
// hand (a test's) is tried alone. The error stays that of the first name.
bool loadSecond(QLibrary &library, const QString &libraryName)
{
    if (!FbClient::kSecondLibraryName || libraryName != QLatin1String(FbClient::kDefaultLibraryName))
        return false;
    library.setFileName(QString::fromLatin1(FbClient::kSecondLibraryName));
    return library.load();
}

} // namespace

void FbClient::setLibraryName(const QString &name)
{
    Loader &l = loader();
    std::lock_guard lock(l.mutex);
    l.name = name;
    if (l.current && l.current->name() != name)
        l.retired.push_back(std::move(l.current));
}

QString FbClient::libraryName()
{
    Loader &l = loader();
    std::lock_guard lock(l.mutex);
    return l.name;
}

const FbClient &FbClient::instance()
{
    Loader &l = loader();
    std::lock_guard lock(l.mutex);
    if (!l.current)
        l.current = std::make_unique<FbClient>(l.name);
    return *l.current;
}

FbClient::FbClient(const QString &libraryName)
    : m_name(libraryName)
{
    // The client starts threads and registers exit handlers, so it must never
    // be unmapped: PreventUnloadHint keeps it loaded whatever happens to the
    // QLibrary object, which goes out of scope below.
    QLibrary library(libraryName);
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
    if (!library.load() && !loadSecond(library, libraryName))
        throw TolmError(QStringLiteral("InterBase library %1 not found in the path. "
                                       "Please install InterBase to use this functionality")
                            .arg(libraryName));

    resolve(library, "isc_attach_database", attach_database, libraryName);
    resolve(library, "isc_detach_database", detach_database, libraryName);
    resolve(library, "isc_database_info", database_info, libraryName);
    resolve(library, "isc_start_multiple", start_multiple, libraryName);
    resolve(library, "isc_commit_transaction", commit_transaction, libraryName);
    resolve(library, "isc_rollback_transaction", rollback_transaction, libraryName);
    resolve(library, "isc_dsql_allocate_statement", dsql_allocate_statement, libraryName);
    resolve(library, "isc_dsql_prepare", dsql_prepare, libraryName);
    resolve(library, "isc_dsql_describe", dsql_describe, libraryName);
    resolve(library, "isc_dsql_describe_bind", dsql_describe_bind, libraryName);
    resolve(library, "isc_dsql_execute", dsql_execute, libraryName);
    resolve(library, "isc_dsql_fetch", dsql_fetch, libraryName);
    resolve(library, "isc_dsql_free_statement", dsql_free_statement, libraryName);
    resolve(library, "fb_interpret", interpret, libraryName);

    // Older clients lack it; they shut down on a signal as they always did.
    using ShutdownCallback = decltype(::fb_shutdown_callback);
    if (auto *shutdownCallback = reinterpret_cast<ShutdownCallback *>(library.resolve("fb_shutdown_callback"))) {
        ISC_STATUS_ARRAY status = {};
        shutdownCallback(status, confirmShutdown, fb_shut_confirmation, nullptr);
    }
    // Not unloaded here nor later: the entry points stay valid for the process.
}

void FbClient::refuseSignalShutdown(void (*notice)())
{
    g_signalNotice.store(notice);
}

QString FbClient::errorMessage(const ISC_STATUS *status) const
{
    if (!failed(status))
        return {};
    QStringList lines;
    char buffer[1024];
    const ISC_STATUS *cursor = status;
    while (interpret(buffer, sizeof buffer, &cursor) > 0)
        lines << fromAnsi(buffer, qsizetype(strnlen(buffer, sizeof buffer)));
    if (lines.isEmpty())
        lines << QStringLiteral("Firebird error %1").arg(status[1]);
    return lines.join(QLatin1Char('\n'));
}

void FbClient::throwError(const ISC_STATUS *status) const
{
    throw TolmError(errorMessage(status));
}

QString FbClient::noAnswerMessage(const QString &host) const
{
    const QByteArray name = host.toLocal8Bit();
    const ISC_STATUS status[] = {isc_arg_gds,    isc_network_error,   isc_arg_string,
                                 ISC_STATUS(reinterpret_cast<intptr_t>(name.constData())),
                                 isc_arg_gds,    isc_net_connect_err, isc_arg_end};
    return errorMessage(status);
}

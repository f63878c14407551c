#pragma once

#include <QString>

#include <ibase.h>

// The Firebird client library, loaded at run time with QLibrary so that a
// missing client is reported by the program itself. Only the types come from
// ibase.h; the program does not link against the library.
//
// One process-wide instance is loaded lazily, on the first instance() call, by
// the name libraryName() gives ("libfbclient.so.2" unless set otherwise; on
// Windows "gds32.dll", then "fbclient.dll" when that one is not there). The
// library is never unloaded.
class FbClient
{
public:
#ifdef Q_OS_WIN
    // The name the practice's software installs; a current Firebird installs
    // only the second (the package ships one beside the program).
    static constexpr const char *kDefaultLibraryName = "gds32.dll";
    static constexpr const char *kSecondLibraryName = "fbclient.dll";
#else
    static constexpr const char *kDefaultLibraryName = "libfbclient.so.2";
    static constexpr const char *kSecondLibraryName = nullptr;
#endif

    // The name the next load uses. A library already loaded under another
    // name stays loaded for the objects that use it; the next instance() call
    // loads the new name.
    static void setLibraryName(const QString &name);
    static QString libraryName();

    // The loaded library; loads it on first use.
    // Throws TolmError("InterBase library <name> not found in the path. ...").
    static const FbClient &instance();
    static void load() { instance(); }

    // Loads the named library. Throws TolmError as instance() does.
    explicit FbClient(const QString &libraryName);
    FbClient(const FbClient &) = delete;
    FbClient &operator=(const FbClient &) = delete;

    const QString &name() const { return m_name; }

    // The embedded engine puts its own handlers on SIGINT and SIGTERM at the
    // first attach (they call the handler that was there before them too) and
    // on such a signal shuts itself down under the program: every attachment
    // dies, the process goes on. A program that ends by itself on these
    // signals calls this, before or after loading: from then on the client
    // refuses a shutdown for a signal and calls notice instead, on the
    // engine's own thread. Shutdowns for other reasons (exit(), the end of
    // the process) go ahead. nullptr lets the engine shut down again.
    static void refuseSignalShutdown(void (*notice)());

    // The client's own message for a status vector: the lines fb_interpret
    // gives, joined with "\n". Empty when the vector holds no error.
    QString errorMessage(const ISC_STATUS *status) const;
    // The client's own message for a server host that does not answer.
    QString noAnswerMessage(const QString &host) const;
    static bool failed(const ISC_STATUS *status) { return status[0] == 1 && status[1] != 0; }
    // Throws TolmError(errorMessage(status)) when the status holds an error.
    void check(const ISC_STATUS *status) const
    {
        if (failed(status))
            throwError(status);
    }
    [[noreturn]] void throwError(const ISC_STATUS *status) const;

    // Entry points.
    decltype(::isc_attach_database) *attach_database = nullptr;
    decltype(::isc_detach_database) *detach_database = nullptr;
    decltype(::isc_database_info) *database_info = nullptr;
    decltype(::isc_start_multiple) *start_multiple = nullptr;
    decltype(::isc_commit_transaction) *commit_transaction = nullptr;
    decltype(::isc_rollback_transaction) *rollback_transaction = nullptr;
    decltype(::isc_dsql_allocate_statement) *dsql_allocate_statement = nullptr;
    decltype(::isc_dsql_prepare) *dsql_prepare = nullptr;
    decltype(::isc_dsql_describe) *dsql_describe = nullptr;
    decltype(::isc_dsql_describe_bind) *dsql_describe_bind = nullptr;
    decltype(::isc_dsql_execute) *dsql_execute = nullptr;
    decltype(::isc_dsql_fetch) *dsql_fetch = nullptr;
    decltype(::isc_dsql_free_statement) *dsql_free_statement = nullptr;
    decltype(::fb_interpret) *interpret = nullptr;

private:
    QString m_name;
};

// Transaction existence block for isc_start_multiple: the layout the client
// reads (handle pointer, int length, parameter block).
struct FbTeb
{
    isc_db_handle *database;
    int tpbLength;
    const char *tpb;
};

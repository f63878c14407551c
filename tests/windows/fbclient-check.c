/* Loads a Firebird client library as a Windows program does, attaches a
 * database, runs one select and prints its rows, one line each with the
 * columns joined by '|'. On an error it prints "error:" and the client's own
 * messages (fb_interpret), one a line, and ends with status 1.
 *
 *   fbclient-check DLL DATABASE USER PASSWORD SELECT
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <ibase.h>

#define API(name) static __typeof__(&name) p_##name
API(isc_attach_database);
API(isc_detach_database);
API(isc_start_transaction);
API(isc_commit_transaction);
API(isc_dsql_allocate_statement);
API(isc_dsql_prepare);
API(isc_dsql_describe);
API(isc_dsql_execute);
API(isc_dsql_fetch);
API(isc_dsql_free_statement);
API(fb_interpret);

static int failed(const char *step, const ISC_STATUS *status)
{
    char text[1024];
    const ISC_STATUS *vector = status;
    printf("error: %s\n", step);
    while (p_fb_interpret(text, sizeof text, &vector) > 0)
        printf("%s\n", text);
    return 1;
}

static void print_value(const XSQLVAR *var)
{
    if ((var->sqltype & 1) && *var->sqlind < 0) {
        fputs("NULL", stdout);
        return;
    }
    switch (var->sqltype & ~1) {
    case SQL_TEXT:
        printf("%.*s", var->sqllen, var->sqldata);
        break;
    case SQL_VARYING:
        printf("%.*s", *(const short *)var->sqldata, var->sqldata + sizeof(short));
        break;
    case SQL_SHORT:
        printf("%d", *(const short *)var->sqldata);
        break;
    case SQL_LONG:
        printf("%ld", (long)*(const ISC_LONG *)var->sqldata);
        break;
    case SQL_INT64:
        printf("%lld", (long long)*(const ISC_INT64 *)var->sqldata);
        break;
    default:
        printf("<type %d>", var->sqltype & ~1);
    }
}

int main(int argc, char **argv)
{
    if (argc != 6) {
        fprintf(stderr, "usage: fbclient-check DLL DATABASE USER PASSWORD SELECT\n");
        return 2;
    }
    const char *database = argv[2], *user = argv[3], *password = argv[4], *sql = argv[5];

    HMODULE lib = LoadLibraryA(argv[1]);
    if (!lib) {
        printf("error: LoadLibrary %s failed (%lu)\n", argv[1], GetLastError());
        return 1;
    }
#define LOAD(name)                                                          \
    if (!(p_##name = (__typeof__(&name))(void (*)(void))GetProcAddress(lib, #name))) { \
        printf("error: %s is not in %s\n", #name, argv[1]);                 \
        return 1;                                                           \
    }
    LOAD(isc_attach_database) LOAD(isc_detach_database)
    LOAD(isc_start_transaction) LOAD(isc_commit_transaction)
    LOAD(isc_dsql_allocate_statement) LOAD(isc_dsql_prepare)
    LOAD(isc_dsql_describe) LOAD(isc_dsql_execute) LOAD(isc_dsql_fetch)
    LOAD(isc_dsql_free_statement) LOAD(fb_interpret)

    char dpb[256];
    int n = 0;
    dpb[n++] = isc_dpb_version1;
    dpb[n++] = isc_dpb_user_name;
    dpb[n++] = (char)strlen(user);
    memcpy(dpb + n, user, strlen(user));
    n += (int)strlen(user);
    dpb[n++] = isc_dpb_password;
    dpb[n++] = (char)strlen(password);
    memcpy(dpb + n, password, strlen(password));
    n += (int)strlen(password);

    ISC_STATUS_ARRAY status;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    if (p_isc_attach_database(status, 0, database, &db, (short)n, dpb))
        return failed("attach", status);
    if (p_isc_start_transaction(status, &tr, 1, &db, 0, NULL))
        return failed("start transaction", status);
    if (p_isc_dsql_allocate_statement(status, &db, &stmt))
        return failed("allocate statement", status);

    XSQLDA *out = calloc(1, XSQLDA_LENGTH(20));
    out->version = SQLDA_VERSION1;
    out->sqln = 20;
    if (p_isc_dsql_prepare(status, &tr, &stmt, 0, sql, SQL_DIALECT_V6, out))
        return failed("prepare", status);
    if (out->sqld > out->sqln) {
        printf("error: more than %d columns\n", out->sqln);
        return 1;
    }
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR *var = &out->sqlvar[i];
        var->sqldata = calloc(1, var->sqllen + sizeof(short) + 8);
        var->sqlind = calloc(1, sizeof(short));
    }
    if (p_isc_dsql_execute(status, &tr, &stmt, SQL_DIALECT_V6, NULL))
        return failed("execute", status);
    ISC_STATUS fetched;
    while ((fetched = p_isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out)) == 0) {
        for (int i = 0; i < out->sqld; ++i) {
            if (i)
                putchar('|');
            print_value(&out->sqlvar[i]);
        }
        putchar('\n');
    }
    if (fetched != 100)
        return failed("fetch", status);
    if (p_isc_dsql_free_statement(status, &stmt, DSQL_drop))
        return failed("free statement", status);
    if (p_isc_commit_transaction(status, &tr))
        return failed("commit", status);
    if (p_isc_detach_database(status, &db))
        return failed("detach", status);
    return 0;
}

#pragma once
// libpq, loaded the first time a PostgreSQL URL is used. A command that only ever reads a SQLite
// file (a station's queries, the udev probe) then never loads it, nor the two dozen libraries it
// brings (Kerberos, LDAP, GnuTLS...), which were most of the program's start.

#include <libpq-fe.h>

#include <string>

namespace oculant::results {

struct LibPq {
    decltype(&PQconnectdbParams) connectdbParams;
    decltype(&PQstatus) status;
    decltype(&PQerrorMessage) errorMessage;
    decltype(&PQconnectionNeedsPassword) connectionNeedsPassword;
    decltype(&PQfinish) finish;
    decltype(&PQexec) exec;
    decltype(&PQexecParams) execParams;
    decltype(&PQresultStatus) resultStatus;
    decltype(&PQresultErrorMessage) resultErrorMessage;
    decltype(&PQresultErrorField) resultErrorField;
    decltype(&PQntuples) ntuples;
    decltype(&PQnfields) nfields;
    decltype(&PQgetvalue) getvalue;
    decltype(&PQgetlength) getlength;
    decltype(&PQgetisnull) getisnull;
    decltype(&PQclear) clear;
    decltype(&PQputCopyData) putCopyData;
    decltype(&PQputCopyEnd) putCopyEnd;
    decltype(&PQgetResult) getResult;
    decltype(&PQconninfoParse) conninfoParse;
    decltype(&PQconninfoFree) conninfoFree;
    decltype(&PQfreemem) freemem;
};

// libpq's functions, loaded once (thread-safe); null when the library or one of its functions
// cannot be loaded, with *why saying which.
const LibPq* libPq(std::string* why = nullptr);

}  // namespace oculant::results

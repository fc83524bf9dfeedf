#include "results/LibPq.h"

#include <dlfcn.h>

namespace oculant::results {

namespace {

struct Loaded {
    LibPq api{};
    bool ok = false;
    std::string why;
};

template <typename F>
bool take(void* handle, const char* name, F& into, std::string& why)
{
    into = reinterpret_cast<F>(::dlsym(handle, name));
    if (!into)
        why = std::string("libpq.so.5 has no ") + name;
    return into != nullptr;
}

Loaded load()
{
    Loaded l;
    // Never closed: the connections live until the program ends.
    void* h = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* e = ::dlerror();
        l.why = "cannot load libpq, which PostgreSQL needs (install libpq5): " + std::string(e ? e : "libpq.so.5");
        return l;
    }
    LibPq& a = l.api;
    std::string& w = l.why;
    l.ok = take(h, "PQconnectdbParams", a.connectdbParams, w) && take(h, "PQstatus", a.status, w) &&
           take(h, "PQerrorMessage", a.errorMessage, w) &&
           take(h, "PQconnectionNeedsPassword", a.connectionNeedsPassword, w) && take(h, "PQfinish", a.finish, w) &&
           take(h, "PQexec", a.exec, w) && take(h, "PQexecParams", a.execParams, w) &&
           take(h, "PQresultStatus", a.resultStatus, w) && take(h, "PQresultErrorMessage", a.resultErrorMessage, w) &&
           take(h, "PQresultErrorField", a.resultErrorField, w) && take(h, "PQntuples", a.ntuples, w) &&
           take(h, "PQnfields", a.nfields, w) && take(h, "PQgetvalue", a.getvalue, w) &&
           take(h, "PQgetlength", a.getlength, w) && take(h, "PQgetisnull", a.getisnull, w) &&
           take(h, "PQclear", a.clear, w) && take(h, "PQputCopyData", a.putCopyData, w) &&
           take(h, "PQputCopyEnd", a.putCopyEnd, w) && take(h, "PQgetResult", a.getResult, w) &&
           take(h, "PQconninfoParse", a.conninfoParse, w) && take(h, "PQconninfoFree", a.conninfoFree, w) &&
           take(h, "PQfreemem", a.freemem, w);
    return l;
}

}  // namespace

const LibPq* libPq(std::string* why)
{
    static const Loaded loaded = load();
    if (!loaded.ok && why)
        *why = loaded.why;
    return loaded.ok ? &loaded.api : nullptr;
}

}  // namespace oculant::results

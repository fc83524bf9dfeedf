#include "results/DatabaseUrl.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "results/LibPq.h"

namespace oculant::results {

namespace {

bool isPostgresUri(const std::string& text)
{
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

struct Span {
    size_t begin, end;  // [begin, end) of a password, with the separator before it at begin - 1
    bool query;         // password=... (else user:...@)
};

// The places of the URI's passwords: the one in its user part and every password= parameter.
std::vector<Span> passwordSpans(const std::string& text)
{
    std::vector<Span> spans;
    const size_t scheme = text.find("://");
    if (scheme == std::string::npos)
        return spans;
    const size_t authority = scheme + 3;
    // As libpq reads it: the user part ends at the first '@' before any '/'.
    const size_t at = text.find_first_of("@/", authority);
    if (at != std::string::npos && text[at] == '@') {
        const size_t colon = text.find(':', authority);
        if (colon != std::string::npos && colon < at)
            spans.push_back({colon + 1, at, false});
    }
    const size_t q = text.find('?', authority);
    if (q == std::string::npos)
        return spans;
    for (size_t p = q + 1; p < text.size();) {
        size_t amp = text.find('&', p);
        if (amp == std::string::npos)
            amp = text.size();
        if (text.compare(p, 9, "password=") == 0)
            spans.push_back({p + 9, amp, true});
        p = amp + 1;
    }
    return spans;
}

// The URI with each password span replaced (spans from the end, so the earlier stay valid).
std::string replacePasswords(const std::string& text, const std::function<void(std::string&, const Span&)>& edit)
{
    std::string out = text;
    const std::vector<Span> spans = passwordSpans(text);
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        edit(out, *it);
    return out;
}

}  // namespace

std::optional<DatabaseUrl> parseDatabaseUrl(const std::string& text, std::string* error)
{
    auto refuse = [&](const std::string& why) -> std::optional<DatabaseUrl> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (text.rfind("sqlite:", 0) == 0) {
        std::string path = text.substr(7);
        // sqlite:///abs/path reads as the absolute path too.
        if (path.rfind("//", 0) == 0)
            path = path.substr(2);
        if (path.empty())
            return refuse("sqlite: wants a file, as in sqlite:/var/lib/oculant/results.sqlite");
        return DatabaseUrl{Engine::Sqlite, path, text};
    }
    if (isPostgresUri(text)) {
        // libpq's own reading, so that a malformed URI is refused here and not taken for a
        // server that cannot be reached.
        std::string cannotLoad;
        const LibPq* pq = libPq(&cannotLoad);
        if (!pq)
            return refuse(cannotLoad);
        char* message = nullptr;
        PQconninfoOption* options = pq->conninfoParse(text.c_str(), &message);
        if (!options) {
            std::string why = message ? message : "out of memory";
            pq->freemem(message);
            while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
                why.pop_back();
            return refuse("'" + shownUrl(text) + "' is not a valid PostgreSQL URL: " + redacted(why, passwordsOf(text)));
        }
        pq->conninfoFree(options);
        return DatabaseUrl{Engine::Postgres, text, text};
    }
    return refuse("'" + shownUrl(text) + "' is not a database URL: use sqlite:PATH or postgresql://...");
}

std::string shownUrl(const std::string& text)
{
    return replacePasswords(text, [](std::string& s, const Span& span) { s.replace(span.begin, span.end - span.begin, "***"); });
}

std::string urlWithoutPassword(const std::string& text)
{
    return replacePasswords(text, [](std::string& s, const Span& span) {
        if (!span.query) {  // user:secret@ becomes user@
            s.erase(span.begin - 1, span.end - span.begin + 1);
            return;
        }
        // The parameter and the separator before it: ?password=x&a=b becomes ?a=b.
        size_t from = span.begin - 9, to = span.end;
        if (s[from - 1] == '&')
            --from;
        else if (to < s.size())
            ++to;  // the '&' after it
        else
            --from;  // the '?' of a URI whose only parameter it was
        s.erase(from, to - from);
    });
}

std::vector<std::string> passwordsOf(const std::string& text)
{
    std::vector<std::string> secrets;
    for (const Span& span : passwordSpans(text))
        if (span.end > span.begin)
            secrets.push_back(text.substr(span.begin, span.end - span.begin));
    // What libpq reads as the password (percent-escapes decoded), for a URL that is libpq's.
    if (const LibPq* pq = isPostgresUri(text) ? libPq() : nullptr)
        if (PQconninfoOption* options = pq->conninfoParse(text.c_str(), nullptr)) {
            for (PQconninfoOption* o = options; o->keyword; ++o)
                if (std::string(o->keyword) == "password" && o->val && *o->val)
                    secrets.push_back(o->val);
            pq->conninfoFree(options);
        }
    return secrets;
}

std::string redacted(std::string text, const std::vector<std::string>& secrets)
{
    for (const std::string& secret : secrets) {
        if (secret.empty())
            continue;
        for (size_t p = text.find(secret); p != std::string::npos; p = text.find(secret, p + 3))
            text.replace(p, secret.size(), "***");
    }
    return text;
}

std::string dataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/oculant";
    const char* home = std::getenv("HOME");
    std::string base = home && *home ? home : "";
    if (base.empty())
        if (const passwd* pw = ::getpwuid(::getuid()))
            base = pw->pw_dir;
    return base + "/.local/share/oculant";
}

std::string defaultDatabaseUrl() { return "sqlite:" + dataFolder() + "/results.sqlite"; }

std::string defaultSpoolFolder() { return dataFolder() + "/spool"; }

}  // namespace oculant::results

#pragma once
// A throwaway PostgreSQL server for a test: initdb into a scratch folder, password
// authentication (scram-sha-256) for its one user, reached through a Unix socket in that folder
// only, run as an unprivileged user when the test runs as root (the server refuses root), and
// stopped and removed when the object goes, whatever happened.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TempDir.h"

namespace oculant::test {

class ScratchPostgres {
public:
    // A password no output of the tool may ever show.
    static constexpr const char* kPassword = "Zq7-secret-Pw0rd";

    ScratchPostgres()
    {
        namespace fs = std::filesystem;
        std::string pattern = "/tmp/oculant-pg-XXXXXX";  // short: a socket path has 107 bytes
        dir_ = ::mkdtemp(pattern.data());
        ::chmod(dir_.c_str(), 0755);
        asUser_ = ::getuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
        std::ofstream(dir_ + "/pwfile") << kPassword << "\n";
        if (::getuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            const group* nogroup = ::getgrnam("nogroup");
            if (!nobody || !nogroup || ::chown(dir_.c_str(), nobody->pw_uid, nogroup->gr_gid) != 0 ||
                ::chown((dir_ + "/pwfile").c_str(), nobody->pw_uid, nogroup->gr_gid) != 0)
                return;
        }
        initialised_ = run(bin() + "/initdb -D " + dir_ + "/data -U oculant --auth=scram-sha-256 --pwfile=" + dir_ +
                           "/pwfile -E UTF8 --no-sync >" + dir_ + "/initdb.log 2>&1");
        std::error_code ec;
        fs::remove(dir_ + "/pwfile", ec);
    }
    ~ScratchPostgres()
    {
        stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchPostgres(const ScratchPostgres&) = delete;
    ScratchPostgres& operator=(const ScratchPostgres&) = delete;

    bool initialised() const { return initialised_; }
    bool start()
    {
        running_ = run(bin() + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -o \"-k " + dir_ +
                       " -c listen_addresses='' -c fsync=off\" start >/dev/null 2>&1");
        return running_;
    }
    void stop()
    {
        if (running_)
            run(bin() + "/pg_ctl -D " + dir_ + "/data -m fast -w stop >/dev/null 2>&1");
        running_ = false;
    }
    // Runs SQL as the server's user (through psql, the password from the environment).
    bool sql(const std::string& statement, const std::string& database = "postgres") const
    {
        return std::system(("PGPASSWORD=" + std::string(kPassword) + " psql -q -X -v ON_ERROR_STOP=1 \"" +
                            url(database) + "\" -c \"" + statement + "\" >/dev/null 2>&1")
                               .c_str()) == 0;
    }
    // Without the password: libpq finds it in PGPASSWORD or a password file.
    std::string url(const std::string& database = "postgres") const
    {
        return "postgresql:///" + database + "?host=" + dir_ + "&user=oculant";
    }
    // The password in the URL, as user:password@ or as a password= parameter.
    std::string urlWithPassword(const std::string& database = "postgres") const
    {
        return "postgresql://oculant:" + std::string(kPassword) + "@/" + database + "?host=" + dir_;
    }
    std::string urlWithPasswordParameter(const std::string& database = "postgres") const
    {
        return url(database) + "&password=" + kPassword;
    }
    const std::string& folder() const { return dir_; }
    std::string log() const { return readFile(dir_ + "/initdb.log") + readFile(dir_ + "/server.log"); }

private:
    // The server's programs, of the newest version installed (Debian keeps them out of the PATH).
    static std::string bin()
    {
        namespace fs = std::filesystem;
        std::string newest = "/usr/lib/postgresql/15/bin";
        int version = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec)) {
            const int v = std::atoi(e.path().filename().c_str());
            if (v > version && fs::exists(e.path() / "bin/initdb")) {
                version = v;
                newest = (e.path() / "bin").string();
            }
        }
        return newest;
    }
    bool run(const std::string& command) const { return std::system((asUser_ + command).c_str()) == 0; }

    std::string dir_, asUser_;
    bool initialised_ = false;
    bool running_ = false;
};

}  // namespace oculant::test

// kv-stock-session DBFILE: a program using SQLite as it comes, with its ordinary
// record locks (as an older build of ours or a stock sqlite3 shell does), driven
// line by line like kv-sql-session:
//   open          opens one more connection (answers "opened N")
//   exec N SQL    runs SQL on connection N (answers "ok", or "error CODE")
//   close N       closes connection N (answers "closed N")
// The program ends at the end of its input, closing what is still open.
#include <sqlite3.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: kv-stock-session DBFILE < commands\n";
        return 2;
    }
    std::vector<sqlite3*> connections;
    std::string line;
    while (std::getline(std::cin, line)) {
        const std::string verb = line.substr(0, line.find(' '));
        const std::string rest = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
        const size_t n = rest.empty() ? 0 : std::stoul(rest);
        if (verb == "open") {
            sqlite3* db = nullptr;
            const int rc = sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr);
            if (rc == SQLITE_OK) sqlite3_busy_timeout(db, 500);
            connections.push_back(db);
            std::cout << (rc == SQLITE_OK ? "opened " + std::to_string(connections.size() - 1) : "error " + std::to_string(rc))
                      << std::endl;
        } else if (verb == "exec" && n < connections.size() && connections[n]) {
            const int rc = sqlite3_exec(connections[n], rest.substr(rest.find(' ') + 1).c_str(), nullptr, nullptr, nullptr);
            std::cout << (rc == SQLITE_OK ? std::string("ok") : "error " + std::to_string(rc)) << std::endl;
        } else if (verb == "close" && n < connections.size()) {
            sqlite3_close_v2(connections[n]);
            connections[n] = nullptr;
            std::cout << "closed " << n << std::endl;
        } else {
            std::cout << "unknown " << line << std::endl;
        }
    }
    for (auto it = connections.rbegin(); it != connections.rend(); ++it) sqlite3_close_v2(*it);
    return 0;
}

#pragma once

// Unix only.
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <optional>
#include <string>

namespace kr4720::platform {

// The account this program runs as. Looked up reentrantly: port threads may
// ask at once (a backup each, a port's permission message).
struct Account {
    std::string name;
    std::string home;
    gid_t group = 0;
};

inline std::optional<Account> currentAccount() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return Account{found->pw_name, found->pw_dir, found->pw_gid};
}

} // namespace kr4720::platform

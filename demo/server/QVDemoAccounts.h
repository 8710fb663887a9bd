#pragma once

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The demo accounts and their sign-in sessions. One account ("demo"/"demo");
// its collection, plan and notices live in memory for the life of the process.
// Every call is safe from the server's worker threads.
class QVDemoAccounts
{
public:
    static constexpr size_t maxSessions = 256;
    static constexpr size_t maxNotices = 50;
    static constexpr int demoUserId = 1001;

    enum class CollectionAction { Add, Remove, OfflineAdd, OfflineRemove };

    QVDemoAccounts();

    // A new session token for a matching user name and password, else nothing.
    std::optional<std::string> signIn(const std::string& username, const std::string& password);
    void signOut(const std::string& token);
    // The user id of a live session, else nothing.
    std::optional<int> userForSession(const std::string& token) const;

    // The signed-in user as the web application reads it (null for no user).
    nlohmann::json user(std::optional<int> userId) const;

    // Track ids are checked by the caller.
    void changeCollection(int userId, CollectionAction action, const std::vector<int>& trackIds);
    nlohmann::json collection(int userId) const;
    bool isInCollection(int userId, int trackId) const;

    // 0 free (limited allowance), 1 web, 2 unlimited.
    void setSubscription(
        int userId, int type, std::optional<bool> billingFailure, std::optional<int> remaining);

    nlohmann::json notices(int userId) const;
    void markNoticesRead(int userId);
    // Adds a demo notice and answers it.
    nlohmann::json addNotice(int userId);

private:
    struct Notice {
        int id;
        std::string title;
        std::string message;
        bool read;
    };
    struct User {
        int id;
        std::string username;
        std::string password;
        std::string firstName;
        std::string lastName;
        std::string vanityName;
        int subscriptionType = 2;
        bool billingFailure = false;
        int freeRemaining = 60;
        std::set<int> collection;
        std::set<int> offline;
        std::vector<Notice> notices;
        int nextNoticeId = 1;
        std::chrono::system_clock::time_point trialEnd;
    };

    static std::string newToken();
    User* _user(int id);
    const User* _user(int id) const;
    static int _unread(const User& user);

    mutable std::mutex _mutex;
    std::vector<User> _users;
    std::map<std::string, int> _sessions;
    std::deque<std::string> _sessionOrder; // oldest first, to bound the table
};

#include "QVDemoAccounts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <random>

namespace {

std::string isoDate(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm utc {};
    gmtime_r(&t, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buffer;
}

} // namespace

QVDemoAccounts::QVDemoAccounts()
{
    User demo;
    demo.id = demoUserId;
    demo.username = "demo";
    demo.password = "demo";
    demo.firstName = "Dana";
    demo.lastName = "Demo";
    demo.vanityName = "demo";
    demo.collection = { 101, 102, 107 };
    demo.offline = { 101 };
    demo.notices = {
        { 1, "Welcome to Quiv", "Your demo account is ready. Press play on any album or station.", false },
        { 2, "New release", "Northbound Static just released Signal Drift.", false },
    };
    demo.nextNoticeId = 3;
    demo.trialEnd = std::chrono::system_clock::now() + std::chrono::hours(24 * 14);
    _users.push_back(std::move(demo));
}

std::string QVDemoAccounts::newToken()
{
    static std::mutex generatorMutex;
    static std::random_device device;
    std::lock_guard lock(generatorMutex);
    static constexpr char hex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 8; ++i) {
        uint32_t word = device();
        for (int k = 0; k < 8; ++k, word >>= 4)
            token += hex[word & 0xF];
    }
    return token;
}

std::optional<std::string> QVDemoAccounts::signIn(const std::string& username, const std::string& password)
{
    std::lock_guard lock(_mutex);
    const auto it = std::find_if(_users.begin(), _users.end(),
        [&](const User& u) { return u.username == username && u.password == password; });
    if (it == _users.end())
        return std::nullopt;
    if (_sessions.size() >= maxSessions && !_sessionOrder.empty()) {
        _sessions.erase(_sessionOrder.front());
        _sessionOrder.pop_front();
    }
    std::string token = newToken();
    _sessions[token] = it->id;
    _sessionOrder.push_back(token);
    return token;
}

void QVDemoAccounts::signOut(const std::string& token)
{
    std::lock_guard lock(_mutex);
    if (_sessions.erase(token))
        std::erase(_sessionOrder, token);
}

std::optional<int> QVDemoAccounts::userForSession(const std::string& token) const
{
    std::lock_guard lock(_mutex);
    const auto it = _sessions.find(token);
    if (it == _sessions.end())
        return std::nullopt;
    return it->second;
}

QVDemoAccounts::User* QVDemoAccounts::_user(int id)
{
    const auto it = std::find_if(_users.begin(), _users.end(), [&](const User& u) { return u.id == id; });
    return it == _users.end() ? nullptr : &*it;
}

const QVDemoAccounts::User* QVDemoAccounts::_user(int id) const
{
    return const_cast<QVDemoAccounts*>(this)->_user(id);
}

int QVDemoAccounts::_unread(const User& user)
{
    return static_cast<int>(
        std::count_if(user.notices.begin(), user.notices.end(), [](const Notice& n) { return !n.read; }));
}

nlohmann::json QVDemoAccounts::user(std::optional<int> userId) const
{
    std::lock_guard lock(_mutex);
    const User* found = userId ? _user(*userId) : nullptr;
    if (!found)
        return nullptr;
    const User& user = *found;
    static const char* const planNames[] = { "Free", "Web", "Unlimited" };
    const int plan = user.subscriptionType;
    return { { "id", user.id }, { "username", user.username }, { "first_name", user.firstName },
        { "last_name", user.lastName }, { "vanity_name", user.vanityName }, { "subscription_type", plan },
        { "subscription",
            plan == 0 ? nlohmann::json() : nlohmann::json { { "type", plan }, { "name", planNames[plan] } } },
        { "plan_name", planNames[plan] },
        { "freeLimited",
            plan == 0 ? nlohmann::json { { "remaining", user.freeRemaining } } : nlohmann::json() },
        { "has_subscription_failure", user.billingFailure }, { "features", { { "quiv2", true } } },
        { "free_trial", { { "trial_end_date", isoDate(user.trialEnd) } } }, { "collection", user.collection },
        { "offline", user.offline }, { "unread_notices", _unread(user) } };
}

bool QVDemoAccounts::isInCollection(int userId, int trackId) const
{
    std::lock_guard lock(_mutex);
    const User* user = _user(userId);
    return user && user->collection.count(trackId) != 0;
}

void QVDemoAccounts::changeCollection(int userId, CollectionAction action, const std::vector<int>& trackIds)
{
    std::lock_guard lock(_mutex);
    User* user = _user(userId);
    if (!user)
        return;
    for (int id : trackIds) {
        switch (action) {
        case CollectionAction::Add:
            user->collection.insert(id);
            break;
        case CollectionAction::Remove:
            // A track that leaves the collection cannot stay synced to a phone.
            user->collection.erase(id);
            user->offline.erase(id);
            break;
        case CollectionAction::OfflineAdd:
            user->collection.insert(id);
            user->offline.insert(id);
            break;
        case CollectionAction::OfflineRemove:
            user->offline.erase(id);
            break;
        }
    }
}

nlohmann::json QVDemoAccounts::collection(int userId) const
{
    std::lock_guard lock(_mutex);
    const User* user = _user(userId);
    if (!user)
        return nullptr;
    return { { "collection", user->collection }, { "offline", user->offline } };
}

void QVDemoAccounts::setSubscription(
    int userId, int type, std::optional<bool> billingFailure, std::optional<int> remaining)
{
    std::lock_guard lock(_mutex);
    User* user = _user(userId);
    if (!user)
        return;
    user->subscriptionType = std::clamp(type, 0, 2);
    if (billingFailure)
        user->billingFailure = *billingFailure;
    if (remaining)
        user->freeRemaining = std::clamp(*remaining, 0, 100);
}

nlohmann::json QVDemoAccounts::notices(int userId) const
{
    std::lock_guard lock(_mutex);
    const User* user = _user(userId);
    if (!user)
        return nullptr;
    nlohmann::json notices = nlohmann::json::array();
    // Newest first, as a notices list reads.
    for (auto it = user->notices.rbegin(); it != user->notices.rend(); ++it)
        notices.push_back(
            { { "id", it->id }, { "title", it->title }, { "message", it->message }, { "read", it->read } });
    return { { "notices", std::move(notices) }, { "unread", _unread(*user) } };
}

void QVDemoAccounts::markNoticesRead(int userId)
{
    std::lock_guard lock(_mutex);
    if (User* user = _user(userId))
        for (Notice& notice : user->notices)
            notice.read = true;
}

nlohmann::json QVDemoAccounts::addNotice(int userId)
{
    static const char* const messages[][2] = {
        { "Mira Okafor is touring", "Blue Hour Sessions live, coming to a city near you." },
        { "A friend followed you", "Someone started following your collection." },
        { "Station updated", "Late Night Jazz has new tracks tonight." },
    };
    std::lock_guard lock(_mutex);
    User* user = _user(userId);
    if (!user)
        return nullptr;
    const auto& text = messages[static_cast<size_t>(user->nextNoticeId) % std::size(messages)];
    Notice notice { user->nextNoticeId++, text[0], text[1], false };
    user->notices.push_back(notice);
    if (user->notices.size() > maxNotices)
        user->notices.erase(user->notices.begin());
    return { { "notice",
                 { { "id", notice.id }, { "title", notice.title }, { "message", notice.message },
                     { "read", false } } },
        { "unread", _unread(*user) } };
}

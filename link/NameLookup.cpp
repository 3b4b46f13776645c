#include "NameLookup.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kaldor {

int LookUpName(const std::string& host, const std::string& port, const addrinfo& hints,
               int timeoutMs, const std::atomic<bool>& stop, addrinfo** list) {
    struct Answer {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, abandoned = false;
        int rc = EAI_AGAIN;
        addrinfo* list = nullptr;
    };
    auto answer = std::make_shared<Answer>();
    std::thread([answer, host, port, hints] {
        addrinfo* found = nullptr;
        const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        std::lock_guard<std::mutex> lock(answer->m);
        if (answer->abandoned) {
            if (found) ::freeaddrinfo(found);
            return;
        }
        answer->rc = rc;
        answer->list = found;
        answer->done = true;
        answer->cv.notify_all();
    }).detach();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(answer->m);
    // stop has no way to notify: looked at every 20 ms while a slow lookup lasts.
    while (!answer->done && !stop && std::chrono::steady_clock::now() < deadline)
        answer->cv.wait_for(lock, std::chrono::milliseconds(20));
    if (!answer->done) {
        answer->abandoned = true;
        return EAI_AGAIN;
    }
    *list = answer->list;
    return answer->rc;
}

} // namespace kaldor

// Carries requests from the thumbnail loader thread to the list on the user-interface thread,
// one at a time, each waited for by the loader. The list closes the handoff before it goes
// away: a loader waiting then returns at once, so stopping a loader never waits on the
// user-interface thread and no request reaches a destroyed list.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class LoaderHandoff {
public:
    // A request runs on the user-interface thread. Requests that hand over an object keep a
    // plain pointer to it and transfer ownership only when Run reports that they ran.
    using Request = std::function<void()>;

    // wakeFd: the write end of a WakePipe whose handler calls Serve; it must stay open for as
    // long as the handoff is.
    static std::shared_ptr<LoaderHandoff> Create(int wakeFd);

    // Loader thread: has request run on the user-interface thread and waits for it. False when
    // the handoff was closed first (the request has not run and never will).
    bool Run(Request request);
    // User-interface thread: runs the waiting request, if any, and releases the loader.
    void Serve();
    // User-interface thread: refuses further requests and releases a waiting loader.
    void Close();

private:
    explicit LoaderHandoff(int wakeFd) : m_wakeFd(wakeFd) {}

    int m_wakeFd;
    std::mutex m_mutex;
    std::condition_variable m_served;
    Request m_pending;
    bool m_closed = false;
    bool m_done = false;
};

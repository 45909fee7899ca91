#include "AsyncRequests.h"

#include "Delivery.h"

namespace tapisim {

namespace {

void Run(Sim& sim, PendingRequest& request) {
    if (!sim.requests.IsPending(request.id)) return;  // its application is gone
    Reply reply{sim, request.app, request.id};
    request.work(sim, reply);
    if (!reply.sent) reply(0);
    sim.DropGoneCalls();
}

}  // namespace

void Reply::operator()(LONG result) {
    if (sent) return;
    sent = true;
    PostReply(sim, app, id, result);
}

LONG BeginAsync(Sim& sim, DWORD app, const char* function, Completion work) {
    LONG id = BeginRequest(sim, app);
    if (id < 0) return id;
    int32_t error = 0;
    if (sim.replyFaults.Take(function, &error)) {
        LONG replyError = error;
        work = [replyError](Sim&, Reply& reply) { reply(replyError); };
    }
    PendingRequest request{static_cast<DWORD>(id), app, std::move(work)};
    if (sim.holdReplies) {
        sim.heldWork.push_back(std::move(request));
        return id;
    }
    App* target = sim.FindApp(app, false);
    if (!target) return id;
    sim.pendingWork[request.id] = std::move(request);
    QueuedMessage item = {};
    item.request = static_cast<DWORD>(id);
    Post(*target, item);
    return id;
}

void RunQueuedCompletion(Sim& sim, DWORD requestId) {
    auto it = sim.pendingWork.find(requestId);
    if (it == sim.pendingWork.end()) return;
    PendingRequest request = std::move(it->second);
    sim.pendingWork.erase(it);
    Run(sim, request);
}

void ReleaseHeldCompletions(Sim& sim) {
    std::deque<PendingRequest> held;
    held.swap(sim.heldWork);
    for (PendingRequest& request : held) Run(sim, request);
}

void DropCompletionsOf(Sim& sim, DWORD app) {
    for (auto it = sim.pendingWork.begin(); it != sim.pendingWork.end();)
        it = (it->second.app == app) ? sim.pendingWork.erase(it) : std::next(it);
    for (auto it = sim.heldWork.begin(); it != sim.heldWork.end();)
        it = (it->app == app) ? sim.heldWork.erase(it) : std::next(it);
}

}  // namespace tapisim

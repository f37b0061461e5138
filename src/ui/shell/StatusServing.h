#pragma once

class WindowHost;
class MetricsServer;
class MetricsModel;

// The window's status server ("状態をネットワークに公開する"): serves, while
// the window runs, what the status replies it receives anyway say; no query
// of its own. Follows the stored settings at the start and whenever the
// settings window stores them.
void registerStatusServing(WindowHost &host);

// The window's server and its model, for tests; nullptr before registration.
MetricsServer *statusServer(WindowHost &host);
const MetricsModel *statusModel(WindowHost &host);

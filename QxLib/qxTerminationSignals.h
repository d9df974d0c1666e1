// Clean-up when the process is ended from outside (here SIGINT and SIGTERM)
// instead of exiting normally. One implementation per platform
// (QxLib/Posix/qxTerminationSignals.cpp).
#pragma once

namespace qx {

// Makes `cleanup` run when the process is told to end, after which the
// process ends as it would have without it: a handler installed before is
// called after `cleanup`, and a signal the process ignores stays ignored.
// `cleanup` runs inside a signal handler and may only use calls that are
// safe there. The first call installs; later calls do nothing.
void CallOnTermination(void (*cleanup)());

} // namespace qx

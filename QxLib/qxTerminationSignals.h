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

// Turns the first request to end (SIGINT, SIGTERM) into a flag that
// TerminationRequested() reads, so that a long job can stop at its next
// step and leave complete output behind; a second request ends the process
// as it would have ended without this. A CallOnTermination clean-up
// installed later runs before the flag is set. The first call installs;
// later calls do nothing.
void StopOnTermination();
bool TerminationRequested();

} // namespace qx

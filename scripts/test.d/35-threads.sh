#!/usr/bin/env bash
# The block loop's three threads under ThreadSanitizer: its own table, the
# split's fault table, a fault walk of each tool, the interrupt at each step
# of a join (the watcher's thread against the naming), an interrupt against
# each locked region held open, and end-to-end splits; the first report fails
# the run. Its build has only these tests
# (FILESPLIT_THREAD_TESTS_ONLY). About a minute and a half on two cores.
# Not here: JoinAfterTheInterruptTest, whose hook runs the handler inside
# the fault seam's callback, under the seam's lock, an order of locks only
# the test has (ThreadSanitizer reports it as a potential deadlock).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/deps.sh cmake clang libclang-rt-14-dev make libssl-dev libgtest-dev
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$(nproc)" --target filesplit_tests filesplit filejoin
# One shape of each fault walk, the others' calls being the same under it;
# memory cannot be refused under it (tests/support/allocation_limit.cpp).
ctest --preset tsan -E 'NoMemoryForTheCopyBuffer' -R \
  'BlockCopyTest|BlockHandoverTest|FaultTableTest|FaultWalkTest.*TwoBlockPieces|JoinFaultWalkTest.*BesideTheScript|JoinRenameTest|JoinInterruptDeathTest|JoinLockedRegionTest|SplitTest.PiecesRejoin'

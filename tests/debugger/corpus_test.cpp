// The protocol fuzzer's interesting inputs, kept as regression cases: hostile streams get
// error responses, never a crash.
#include "debugger/dap_replay.h"
#include "support/corpus.h"

TEST(DapCorpus, HostileStreamsAreSurvived) {
    testing_support::forEachCorpusFile(DAP_CORPUS_DIR, [](const std::string& data) {
        testing_support::replayDap(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    });
}

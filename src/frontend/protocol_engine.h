// SPDX-License-Identifier: GPL-3.0-or-later
// ProtocolEngine: the concrete SearchEngine whose hooks turn search events
// into protocol output and execute input that arrives during a search.
#pragma once

#include "search/search_engine.h"

namespace tarvok {

class ProtocolEngine : public SearchEngine {
   public:
    void spareHook1() override {}
    void onSearchBegin() override {}
    void onSearchEnd(int stop) override;
    void onGameMoveDone() override {}
    void onIterationDone(int depth, const PvRow& pv, uint64_t nodes, double searchMicroseconds) override;
    void spareHook2() override {}
    void onSearchPrepared() override {}
    int onBoardChanged() override { return 1; }
    void spareHook3() override {}
    void pollInput() override;
    void onRootMove(Move move, int number) override;
};

}  // namespace tarvok

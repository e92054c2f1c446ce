// What an operation of the fprintd back end works through, all on the back end's thread.
#pragma once

class FprintdAuthorization;
class FprintdBus;
class FprintdReaders;
struct FprintdTimeouts;

struct FprintdLinks {
    FprintdBus& bus;
    FprintdReaders& readers;
    FprintdAuthorization& authorization;
    const FprintdTimeouts& timeouts;
};

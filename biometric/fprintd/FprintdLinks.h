// What an operation of the fprintd back end works through, all on the back end's thread.
#pragma once

class FprintdAuthorization;
class FprintdBus;
class FprintdReaders;
class QObject;
struct FprintdTimeouts;

struct FprintdLinks {
    FprintdBus& bus;
    FprintdReaders& readers;
    FprintdAuthorization& authorization;
    const FprintdTimeouts& timeouts;
    // Lives on the back end's thread: work posted to it runs from that thread's event loop, and
    // is dropped with it when the back end goes.
    QObject& eventLoop;
};

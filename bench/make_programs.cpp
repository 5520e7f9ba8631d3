// Writes the MOXY programs that bench/run measures into the folder given as argument.
#include "moxy/format.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <string>

using moxy::Op;

namespace {

void save(const std::string& path, const std::string& code) {
    std::ofstream file(path, std::ios::binary);
    file.write(code.data(), static_cast<std::streamsize>(code.size()));
}

// The interpreter's worked counting loop, counting to [limit].
std::string countingLoop(long long limit) {
    moxy::Writer writer;
    writer.cell(130, 130).op(Op::Clear).text("0");
    writer.cell(130, 131).op(Op::Clear).text(std::to_string(limit));
    writer.cell(130, 132).op(Op::Clear).text("1");
    writer.label(1);
    writer.cell(130, 130).op(Op::Increment);
    writer.cell(130, 130).op(Op::SetPar1);
    writer.cell(130, 131).op(Op::SetPar2);
    writer.op(Op::IfLess);
    writer.cell(130, 132).op(Op::Jump);
    writer.op(Op::EndIf);
    return writer.take();
}

moxy::Writer& set(moxy::Writer& writer, int k, const std::string& text) {
    return writer.cell(130, 130 + k).op(Op::Clear).text(text);
}

// A loop that runs [body] [times] times; slots 120 to 124 are its own.
void repeat(moxy::Writer& writer, int label, long long times, const std::function<void(moxy::Writer&)>& body) {
    set(writer, 120, "0");
    set(writer, 121, std::to_string(times));
    set(writer, 122, std::to_string(label));
    writer.label(label);
    body(writer);
    writer.cell(130, 250).op(Op::Increment).op(Op::SetPar1);
    writer.cell(130, 251).op(Op::SetPar2).op(Op::IfLess);
    writer.cell(130, 252).op(Op::Jump);
    writer.op(Op::EndIf);
}

// One million points: 1,000 passes over 1,000 point statements at fixed places.
std::string points() {
    moxy::Writer writer;
    for (int i = 0; i < 100; ++i)
        set(writer, i, std::to_string(i * 3));
    repeat(writer, 1, 1000, [](moxy::Writer& body) {
        for (int i = 0; i < 1000; ++i)
            body.cell(130, 130 + i % 100).op(Op::SetPar1).cell(130, 130 + (i / 10) % 80).op(Op::SetPar2).op(Op::Point);
    });
    return writer.take();
}

// 100,000 lines of 100 pixels: 1,000 passes over 100 line statements.
std::string lines() {
    moxy::Writer writer;
    set(writer, 0, "10");
    set(writer, 1, "110");
    for (int i = 0; i < 100; ++i)
        set(writer, 2 + i, std::to_string(i * 2));
    repeat(writer, 1, 1000, [](moxy::Writer& body) {
        for (int i = 0; i < 100; ++i)
            body.cell(130, 130).op(Op::SetPar1).cell(130, 132 + i).op(Op::SetPar2).cell(130, 131).op(Op::SetRes)
                .cell(130, 132 + i).op(Op::Line);
    });
    return writer.take();
}

// 1,000 frames of "clear, draw 100 lines, yield", then the end.
std::string frames() {
    moxy::Writer writer;
    set(writer, 0, "10");
    set(writer, 1, "310");
    for (int i = 0; i < 100; ++i)
        set(writer, 2 + i, std::to_string(i * 2));
    repeat(writer, 1, 1000, [](moxy::Writer& body) {
        body.op(Op::ClearScreen);
        for (int i = 0; i < 100; ++i)
            body.cell(130, 130).op(Op::SetPar1).cell(130, 132 + i).op(Op::SetPar2).cell(130, 131).op(Op::SetRes)
                .cell(130, 132 + i).op(Op::Line);
        body.op(Op::Yield);
    });
    writer.op(Op::End);
    return writer.take();
}

// The same loop as points(), without the point statements: what the loop itself costs.
std::string pointLoop() {
    moxy::Writer writer;
    for (int i = 0; i < 100; ++i)
        set(writer, i, std::to_string(i * 3));
    repeat(writer, 1, 1000, [](moxy::Writer& body) {
        for (int i = 0; i < 1000; ++i)
            body.cell(130, 130 + i % 100).op(Op::SetPar1).cell(130, 130 + (i / 10) % 80).op(Op::SetPar2);
    });
    return writer.take();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_programs FOLDER\n";
        return 1;
    }
    const std::string folder = argv[1];
    save(folder + "/count.moxy", countingLoop(10'000'000));
    save(folder + "/points.moxy", points());
    save(folder + "/point-loop.moxy", pointLoop());
    save(folder + "/lines.moxy", lines());
    save(folder + "/frames.moxy", frames());
    return 0;
}

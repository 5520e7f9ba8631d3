// Writes the MOXY programs that bench/run measures into the folder given as argument.
#include "support/program_builder.h"
#include "moxy/format.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <string>

using moxy::Op;
using testing_support::set;
using testing_support::slot;

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

// The arithmetic mix of 2,000,000 loops: a := i x 1.1, b := a / 3, s := b when b > s,
// counting i up to the limit. Every result but the count is a fraction.
std::string arithmeticMix() {
    moxy::Writer writer;
    set(writer, 0, "0");
    set(writer, 1, "2000000");
    set(writer, 2, "1.1");
    set(writer, 3, "3");
    set(writer, 6, "0.5");
    set(writer, 7, "1");
    writer.label(1);
    slot(writer, 0).op(Op::Increment).op(Op::SetPar1);
    slot(writer, 2).op(Op::SetPar2);
    slot(writer, 4).op(Op::Multiply).op(Op::SetPar1);
    slot(writer, 3).op(Op::SetPar2);
    slot(writer, 5).op(Op::Divide).op(Op::SetPar1);
    slot(writer, 6).op(Op::SetPar2).op(Op::IfGreater);
    slot(writer, 6).op(Op::Copy).op(Op::EndIf);
    slot(writer, 0).op(Op::SetPar1);
    slot(writer, 1).op(Op::SetPar2).op(Op::IfLess);
    slot(writer, 7).op(Op::Jump).op(Op::EndIf);
    return writer.take();
}

// 1,000,000 square roots: r := sqrt(i) for i from 1.
std::string squareRoots() {
    moxy::Writer writer;
    set(writer, 0, "0");
    set(writer, 1, "1000000");
    set(writer, 7, "1");
    writer.label(1);
    slot(writer, 2).op(Op::SetRes);
    slot(writer, 0).op(Op::Increment).op(Op::SquareRoot).op(Op::SetPar1);
    slot(writer, 1).op(Op::SetPar2).op(Op::IfLess);
    slot(writer, 7).op(Op::Jump).op(Op::EndIf);
    return writer.take();
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

// A Quillon program of about [bytes] bytes: 1,000 declarations, then every statement kind
// over and over, with comments and star markers, one statement a line.
std::string quillonSource(std::size_t bytes) {
    std::string source;
    source.reserve(bytes + 4096);
    for (int i = 0; i < 1000; ++i)
        source += "dim[v" + std::to_string(i) + "]\r\n";
    const char* statements[] = {
        "print[A][B][C]", "set[A]{hello world}", "if=[A][B]", "if>[A]*[B]", "if<[A][B]", "endif",
        "getticks[A]", "getpointer[A][B]", "doevents", "inc[A]", "dec*[A]", "clear[A]", "inputbox[A][B]",
        "add[A][B][C]", "sub*[A][B]*[C]", "mul[A][B][C]", "div[A][B][C]", "pwr[A][B][C]", "sqrt[A][B]",
        "append[A][B]", "mov[A][B]", "msgbox[A]", "cls", "getapppath[A]", "chr[A][B]", "label{12}",
        "goto[A]", "randnum[A][B][C]", "mid[A][B][C][D]", "len[A][B]", "pset[A][B]", "col9[A]",
        "collong[A]", "line[A][B][C][D]", "selpbox[A]", "loadtopbox[A]", "newpbox",
        "paintpicture[A][B][C][D]", "beep[A][B]", "loadfile[A][B]", "writefile[A][B]", "getresx[A]",
        "getresy[A]", "setwindowwidth[A]", "setwindowheight[A]", "setwindowx[A]", "setwindowy[A]",
        "title[A]", "exec[A]", "getkey[A]{254}", "circle[A][B][C]", "invert[A]",
        "// a comment between statements //",
    };
    unsigned state = 1;
    auto name = [&state] {
        state = state * 1103515245u + 12345u;
        return "v" + std::to_string((state >> 8) % 1000);
    };
    while (source.size() < bytes) {
        for (const char* statement : statements) {
            for (const char* c = statement; *c; ++c) {
                if (*c >= 'A' && *c <= 'D')
                    source += name();
                else
                    source += *c;
            }
            source += "\r\n";
        }
    }
    return source;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_programs FOLDER\n";
        return 1;
    }
    const std::string folder = argv[1];
    save(folder + "/count.moxy", countingLoop(10'000'000));
    save(folder + "/arith.moxy", arithmeticMix());
    save(folder + "/sqrt.moxy", squareRoots());
    save(folder + "/empty.moxy", "");
    save(folder + "/points.moxy", points());
    save(folder + "/point-loop.moxy", pointLoop());
    save(folder + "/lines.moxy", lines());
    save(folder + "/frames.moxy", frames());
    save(folder + "/big.qlnp", quillonSource(10'000'000));
    return 0;
}

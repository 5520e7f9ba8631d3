// Writes the MOXY programs that bench/run measures into the folder given as argument.
#include "moxy/format.h"

#include <fstream>
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_programs FOLDER\n";
        return 1;
    }
    const std::string folder = argv[1];
    save(folder + "/count.moxy", countingLoop(10'000'000));
    return 0;
}

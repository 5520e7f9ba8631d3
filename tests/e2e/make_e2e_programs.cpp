// Writes the MOXY programs of the end-to-end tests into a folder:
//   drawing.moxy  draws a red filled box and waits in a yield loop until closed;
//   keys.moxy     waits in a yield loop for key A, then writes "pressed" to FOLDER/keys.txt and ends;
//   geometry.moxy sets its window to 400x300 at (200,100) first thing, then waits in a yield loop;
//   dialogs.moxy  asks "Name?", writes the answer to FOLDER/answer.txt, shows "Hi" and ends;
//   busy.moxy     draws a red filled box, then loops for ever without a yield.
#include "support/program_builder.h"
#include "moxy/format.h"

#include <fstream>
#include <iostream>
#include <string>

using moxy::Op;
using testing_support::set;
using testing_support::slot;

namespace {
void save(const std::string& path, const std::string& code) {
    std::ofstream(path, std::ios::binary).write(code.data(), static_cast<std::streamsize>(code.size()));
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_e2e_programs FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];

    moxy::Writer drawing;
    set(drawing, 0, "moxy-e2e-draw").system(moxy::SubCode::Caption);
    set(drawing, 0, "2").op(Op::ColourByDigit);
    set(drawing, 1, "20").op(Op::SetPar1).op(Op::SetPar2);
    set(drawing, 2, "60").op(Op::SetRes);
    set(drawing, 3, "40").op(Op::FilledBox);
    set(drawing, 4, "1");
    drawing.label(1).op(Op::Yield).cell(130, 134).op(Op::Jump);
    save(folder + "/drawing.moxy", drawing.code());

    moxy::Writer keys;
    set(keys, 0, "moxy-e2e-keys").system(moxy::SubCode::Caption);
    set(keys, 1, "1").op(Op::SetPar2);
    set(keys, 4, "1");
    keys.label(1).op(Op::Yield);
    keys.cell(130, 132).key(moxy::Key::A).op(Op::SetPar1).op(Op::IfEqual);
    set(keys, 5, "2").op(Op::Jump);
    keys.op(Op::EndIf).cell(130, 134).op(Op::Jump);
    keys.byte(0).label(2);
    set(keys, 6, folder + "/keys.txt").op(Op::SetPar1);
    set(keys, 7, "pressed").system(moxy::SubCode::WriteFile).op(Op::End);
    save(folder + "/keys.moxy", keys.code());

    moxy::Writer geometry;
    set(geometry, 0, "400").system(moxy::SubCode::SetWindowWidth);
    set(geometry, 0, "300").system(moxy::SubCode::SetWindowHeight);
    set(geometry, 0, "200").system(moxy::SubCode::SetWindowLeft);
    set(geometry, 0, "100").system(moxy::SubCode::SetWindowTop);
    set(geometry, 0, "moxy-e2e-geometry").system(moxy::SubCode::Caption);
    set(geometry, 4, "1");
    geometry.label(1).op(Op::Yield).cell(130, 134).op(Op::Jump);
    save(folder + "/geometry.moxy", geometry.code());

    moxy::Writer dialogs;
    set(dialogs, 0, "moxy-e2e-dialogs").system(moxy::SubCode::Caption);
    set(dialogs, 1, "Name?").op(Op::SetPar1);
    slot(dialogs, 2).op(Op::InputBox);
    set(dialogs, 3, folder + "/answer.txt").op(Op::SetPar1);
    slot(dialogs, 2).system(moxy::SubCode::WriteFile);
    set(dialogs, 4, "Hi").system(moxy::SubCode::MessageBox).op(Op::End);
    save(folder + "/dialogs.moxy", dialogs.code());

    moxy::Writer busy;
    set(busy, 0, "moxy-e2e-busy").system(moxy::SubCode::Caption);
    set(busy, 0, "2").op(Op::ColourByDigit);
    set(busy, 1, "20").op(Op::SetPar1).op(Op::SetPar2);
    set(busy, 2, "60").op(Op::SetRes);
    set(busy, 3, "40").op(Op::FilledBox);
    set(busy, 4, "1");
    busy.label(1).cell(130, 134).op(Op::Jump);
    save(folder + "/busy.moxy", busy.code());
    return 0;
}

#include "instinfo_check/report_output.h"

#include "app/texts.h"
#include "config/utf8.h"

namespace instinfo_check {
namespace {

class PlainWriter {
  public:
    PlainWriter(const Report& report, const Texts& texts, int codePage)
        : report_(report), texts_(texts), codePage_(std::to_string(codePage)) {}

    std::string Write() {
        Line(0, {&Texts::headChecking, {Visible(tessaro::utf8::Sanitize(report_.reading.iniPath))}});
        const ReadOutcome outcome = report_.reading.outcome;
        if (outcome == ReadOutcome::Ok || outcome == ReadOutcome::NoTasks) {
            WriteWindow();
            WriteTasks();
        }
        WriteFindings(&Texts::headWarnings, report_.warnings);
        WriteFindings(&Texts::headNotes, report_.notes);
        WriteVerdict();
        return std::move(out_);
    }

  private:
    void Line(int indent, const Phrase& phrase) { RawLine(indent, Render(texts_, phrase)); }
    void RawLine(int indent, std::string_view text) {
        out_.append(static_cast<std::size_t>(indent), ' ').append(text).append("\n");
    }
    std::string Text(TextRef ref) const { return std::string(texts_.*ref); }

    void WriteWindow() {
        switch (report_.reading.encoding) {
            case Encoding::Ansi:
                Line(0, {&Texts::headEncoding, {Render(texts_, {&Texts::encodingAnsi, {codePage_}})}});
                break;
            case Encoding::Utf8Bom:
                Line(0, {&Texts::headEncoding, {&Texts::encodingUtf8Bom}});
                break;
            case Encoding::Utf16Le:
                Line(0, {&Texts::headEncoding, {&Texts::encodingUtf16Le}});
                break;
            case Encoding::Utf16Be:
                Line(0, {&Texts::headEncoding, {&Texts::encodingUtf16Be}});
                break;
        }
        std::string title = Visible(report_.title);
        if (report_.titleDefault) {
            title += " (" + DefaultReason(report_.titleLine, "setuptitle") + ")";
        }
        Line(0, {&Texts::headTitle, {title}});
        std::string picture = Visible(report_.picture);
        if (report_.pictureDefault) {
            picture += " (" + DefaultReason(report_.pictureLine, "flagspicture") + ")";
        }
        picture += " - " + Text(report_.pictureExists ? &Texts::pictureFound : &Texts::pictureNotFound);
        Line(0, {&Texts::headPicture, {picture}});
    }

    std::string DefaultReason(int line, std::string key) const {
        return Render(texts_, {line == 0 ? &Texts::defaultNoLine : &Texts::defaultEmpty, {std::move(key)}});
    }

    void WriteTasks() {
        out_ += "\n";
        if (report_.tasks.empty()) {
            Line(0, {&Texts::noTasks, {}});
            return;
        }
        Line(0, {&Texts::headTasks, {std::to_string(report_.tasks.size())}});
        for (const TaskRow& row : report_.tasks) {
            const TaskFields& f = row.fields;
            Line(2, {&Texts::taskHead, {std::to_string(row.index), std::to_string(row.source.line)}});
            const TextRef fieldsText = row.action == TaskAction::Run             ? &Texts::taskFieldsRun
                                       : row.action == TaskAction::RemoveToolbar ? &Texts::taskFieldsToolbar
                                                                                 : &Texts::taskFields;
            Line(6, {fieldsText,
                     {Visible(f[0]), Visible(f[1]), Visible(f[2]),
                      row.required ? &Texts::requiredYes : &Texts::requiredNo, Visible(f[3])}});
            if (f[4].empty()) {
                Line(6, {&Texts::taskCaptionStandard, {std::string(tessaro::text::kCaptionInstalling)}});
            } else {
                Line(6, {&Texts::taskCaption, {Visible(f[4])}});
            }
            Line(6, {&Texts::taskDoes, {DescribeTask(row, texts_)}});
        }
    }

    void WriteFindings(TextRef head, const std::vector<Finding>& findings) {
        if (findings.empty()) {
            return;
        }
        out_ += "\n";
        Line(0, {head, {std::to_string(findings.size())}});
        for (const Finding& finding : findings) {
            const std::string where = finding.line == 0
                                          ? Text(&Texts::wholeFileRef)
                                          : Render(texts_, {&Texts::lineRef, {std::to_string(finding.line)}});
            RawLine(2, where + " [" + std::string(finding.code) + "] " + Render(texts_, finding.message));
        }
    }

    void WriteVerdict() {
        out_ += "\n";
        const std::string exitStatus = Render(texts_, {&Texts::exitStatus, {std::to_string(ExitStatusOf(report_))}});
        switch (report_.verdict()) {
            case Verdict::Clean:
                Line(0, {&Texts::verdictClean, {std::to_string(report_.tasks.size()), exitStatus}});
                break;
            case Verdict::Warnings:
                Line(0, {&Texts::verdictWarnings, {std::to_string(report_.warnings.size()), exitStatus}});
                break;
            case Verdict::Refused:
                Line(0, {&Texts::verdictRefused, {Render(texts_, report_.refusal->message), exitStatus}});
                break;
        }
    }

    const Report& report_;
    const Texts& texts_;
    std::string codePage_;
    std::string out_;
};

}  // namespace

int ExitStatusOf(const Report& report) {
    return static_cast<int>(report.verdict());
}

std::string DescribeTask(const TaskRow& row, const Texts& texts) {
    std::string description;
    for (const Phrase& piece : row.description) {
        if (!description.empty()) {
            description += texts.descriptionJoin;
        }
        description += Render(texts, piece);
    }
    return description;
}

std::string PlainReport(const Report& report, const Texts& texts, int codePage) {
    return PlainWriter(report, texts, codePage).Write();
}

}  // namespace instinfo_check

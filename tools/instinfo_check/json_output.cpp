#include "instinfo_check/report_output.h"

#include "app/texts.h"
#include "config/utf8.h"
#include "instinfo_check/json_writer.h"

namespace instinfo_check {
namespace {

std::string_view EncodingCode(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8Bom:
            return "utf-8-bom";
        case Encoding::Utf16Le:
            return "utf-16le";
        case Encoding::Utf16Be:
            return "utf-16be";
        case Encoding::Ansi:
            break;
    }
    return "ansi";
}

std::string_view VerdictCode(Verdict verdict) {
    switch (verdict) {
        case Verdict::Clean:
            return "ok";
        case Verdict::Warnings:
            return "warnings";
        case Verdict::Refused:
            break;
    }
    return "refused";
}

void LineOrNull(JsonWriter& json, int line) {
    if (line == 0) {
        json.Null();
    } else {
        json.Number(line);
    }
}

void Strings(JsonWriter& json, const auto& values) {
    json.BeginArray();
    for (const std::string& value : values) {
        json.String(value);
    }
    json.EndArray();
}

void Findings(JsonWriter& json, const std::vector<Finding>& findings, const Texts& texts) {
    json.BeginArray();
    for (const Finding& finding : findings) {
        json.BeginObject();
        json.Key("line");
        LineOrNull(json, finding.line);
        json.Key("code");
        json.String(finding.code);
        json.Key("message");
        json.String(Render(texts, finding.message));
        json.EndObject();
    }
    json.EndArray();
}

void Task(JsonWriter& json, const TaskRow& row, const Texts& texts) {
    const TaskFields& f = row.fields;
    json.BeginObject();
    json.Key("index");
    json.Number(static_cast<int64_t>(row.index));
    json.Key("line");
    json.Number(row.source.line);
    json.Key("kind");
    json.String(f[0]);
    json.Key("file");
    json.String(f[1]);
    json.Key("requiredFlag");
    json.String(f[2]);
    json.Key("required");
    json.Bool(row.required);
    json.Key("target");
    json.String(f[3]);
    json.Key("caption");
    json.String(f[4]);
    json.Key("captionShown");
    json.String(f[4].empty() ? tessaro::text::kCaptionInstalling : std::string_view(f[4]));
    json.Key("standardCaption");
    json.Bool(f[4].empty());
    json.Key("fields");
    Strings(json, f);
    json.Key("written");
    Strings(json, row.source.written);
    json.Key("trailingEmpty");
    json.Bool(row.source.trailingEmpty);
    json.Key("action");
    json.String(ActionCode(row.action));
    json.Key("description");
    json.String(DescribeTask(row, texts));
    json.EndObject();
}

}  // namespace

std::string JsonReport(const Report& report, const Texts& texts, int codePage, Language language) {
    const ConfigReading& reading = report.reading;
    const bool read = reading.outcome == ReadOutcome::Ok || reading.outcome == ReadOutcome::NoTasks;
    JsonWriter json;
    json.BeginObject();
    json.Key("file");
    json.String(tessaro::utf8::Sanitize(reading.iniPath));
    json.Key("language");
    json.String(language == Language::Chinese ? "zh" : "en");
    json.Key("codePage");
    json.Number(codePage);
    json.Key("encoding");
    if (read) {
        json.String(EncodingCode(reading.encoding));
    } else {
        json.Null();
    }

    json.Key("title");
    if (read) {
        json.BeginObject();
        json.Key("text");
        json.String(report.title);
        json.Key("default");
        json.Bool(report.titleDefault);
        json.Key("line");
        LineOrNull(json, report.titleLine);
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("picture");
    if (read) {
        json.BeginObject();
        json.Key("file");
        json.String(report.picture);
        json.Key("default");
        json.Bool(report.pictureDefault);
        json.Key("line");
        LineOrNull(json, report.pictureLine);
        json.Key("exists");
        json.Bool(report.pictureExists);
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("defaultsApplied");
    json.BeginArray();
    if (read && report.titleDefault) {
        json.String("setuptitle");
    }
    if (read && report.pictureDefault) {
        json.String("flagspicture");
    }
    json.EndArray();

    json.Key("tasks");
    json.BeginArray();
    for (const TaskRow& row : report.tasks) {
        Task(json, row, texts);
    }
    json.EndArray();
    json.Key("warnings");
    Findings(json, report.warnings, texts);
    json.Key("notes");
    Findings(json, report.notes, texts);
    json.Key("refusal");
    if (report.refusal) {
        json.BeginObject();
        json.Key("code");
        json.String(report.refusal->code);
        json.Key("message");
        json.String(Render(texts, report.refusal->message));
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("verdict");
    json.String(VerdictCode(report.verdict()));
    json.Key("exitStatus");
    json.Number(ExitStatusOf(report));
    json.EndObject();
    return json.Take();
}

}  // namespace instinfo_check

#pragma once

// Test clips made with the encoder's own test sources, and what the prober says about a file.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string>
#include <vector>
#ifdef _WIN32
#include "platform/ChildProcess.h"
#endif

namespace movies_test {

// The encoder's and the prober's program. On Windows as the program looks for ffmpeg.exe: beside
// it, then on PATH ("" when neither has it).
inline QString Tool(const std::string& name) {
#ifdef _WIN32
    return QString::fromStdString(platform::FindProgram(name));
#else
    return QString::fromStdString("/usr/bin/" + name);
#endif
}

inline bool HaveEncoder() {
#ifdef _WIN32
    return !Tool("ffmpeg").isEmpty() && !Tool("ffprobe").isEmpty();
#else
    return std::filesystem::exists("/usr/bin/ffmpeg") && std::filesystem::exists("/usr/bin/ffprobe");
#endif
}

inline int Run(const QString& program, const std::vector<std::string>& args, QString* out = nullptr) {
    QStringList list;
    for (const auto& a : args) {
        list << QString::fromStdString(a);
    }
    QProcess p;
    p.start(program, list);
    if (!p.waitForFinished(120000)) {
        return -1;
    }
    if (out != nullptr) {
        *out = QString::fromUtf8(p.readAllStandardOutput());
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A clip of testsrc pictures (MPEG-4 part 2) and a sine tone (PCM): use a container that takes both
// (.avi, .mov, .mkv).
inline bool MakeClip(const std::string& path, int width, int height, int fps, double seconds,
                     bool withSound = true) {
    const std::string d = std::to_string(seconds);
    std::vector<std::string> args{"-v",
                                  "error",
                                  "-y",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) +
                                      ":rate=" + std::to_string(fps) + ":duration=" + d};
    if (withSound) {
        args.insert(args.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + d});
    }
    args.insert(args.end(), {"-c:v", "mpeg4", "-q:v", "2", "-pix_fmt", "yuv420p"});
    if (withSound) {
        args.insert(args.end(), {"-c:a", "pcm_s16le"});
    }
    args.push_back(path);
    return Run(Tool("ffmpeg"), args) == 0;
}

inline bool MakeTone(const std::string& path, double seconds) {
    return Run(Tool("ffmpeg"),
               {"-v", "error", "-y", "-f", "lavfi", "-i",
                "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds), path}) == 0;
}

// "video.codec_name", "video.width", "audio.codec_name", "format.duration", "video.r_frame_rate"...
// (the first stream of each kind counts).
inline std::map<std::string, std::string> Probe(const std::string& path) {
    QString text;
    std::map<std::string, std::string> facts;
    if (Run(Tool("ffprobe"),
            {"-v", "error", "-show_entries",
             "stream=codec_type,codec_name,width,height,r_frame_rate,pix_fmt:format=duration,"
             "format_name",
             "-of", "default", path},
            &text) != 0) {
        return facts;
    }
    // Sections arrive as [STREAM] ... [/STREAM] and [FORMAT] ... [/FORMAT]; the type comes anywhere inside.
    std::map<std::string, std::string> section;
    // Windows' prober ends its lines with CRLF.
    text.remove(QLatin1Char('\r'));
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("[/")) {
            const std::string kind = line == "[/FORMAT]" ? "format" : section["codec_type"];
            for (const auto& [key, value] : section) {
                facts.emplace(kind + "." + key, value);
            }
            section.clear();
            continue;
        }
        const auto eq = line.indexOf('=');
        if (eq > 0) {
            section[line.left(eq).toStdString()] = line.mid(eq + 1).toStdString();
        }
    }
    return facts;
}

inline double Duration(const std::string& path) {
    const auto facts = Probe(path);
    const auto d = facts.find("format.duration");
    return d == facts.end() ? -1.0 : std::stod(d->second);
}

} // namespace movies_test

#include "app/linux/ShaderReload.h"

#include <errno.h>
#include <limits.h>
#include <string.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Orrery/gfx/Gles.h"
#include "app/linux/BuildTree.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "ShaderChain.h"
#include "content/shaders/ShaderBlobs.h"

using namespace Orrery::Gfx;

namespace {

constexpr uint32_t kWatchedEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE;
// A broken include can make every program fail at once: enough lines to see
// the cause, not a screenful per program.
constexpr size_t kMaxLinesPerFailure = 8;

double secondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

bool endsWith(const char* text, const char* tail) {
    const size_t n = strlen(text), m = strlen(tail);
    return n >= m && memcmp(text + n - m, tail, m) == 0;
}

std::string trimmed(const std::string& line) {
    size_t begin = 0, end = line.size();
    while (begin < end && (line[begin] == ' ' || line[begin] == '\t' || line[begin] == '\r')) ++begin;
    while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) --end;
    return line.substr(begin, end - begin);
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = trimmed(text.substr(at, end - at));
        if (!line.empty()) lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

bool mentionsError(const std::string& line) {
    std::string lower = line;
    for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return lower.find("error") != std::string::npos;
}

// The lines of a failed tool worth reading: those that name an error, as the
// tool printed them (glslangValidator's "ERROR: <file>:<line>: ..."), without
// its closing count; everything it printed when no line names one.
void reportFailure(const ShaderReloadProgram& program, const char* tool, const std::string& output, int exitCode,
                   std::vector<ShaderReloadEvent>& events) {
    const std::vector<std::string> lines = nonEmptyLines(output);
    std::vector<std::string> chosen;
    for (const std::string& line : lines)
        if (mentionsError(line) && line.find("compilation errors") == std::string::npos) chosen.push_back(line);
    if (chosen.empty()) chosen = lines;
    if (chosen.empty()) {
        char line[160];
        std::snprintf(line, sizeof line, "%s: %s failed (exit %d) without a message", program.name, tool, exitCode);
        chosen.push_back(line);
    }
    if (chosen.size() > kMaxLinesPerFailure) chosen.resize(kMaxLinesPerFailure);
    for (const std::string& line : chosen) events.push_back({line, true});
}

std::string workPath(const ShaderReload& reload, const ShaderReloadProgram& program, const char* suffix) {
    return reload.workDir + "/" + program.name + suffix;
}

std::string shellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The three tools of one build, as one shell command so that the whole chain
// costs one child to watch rather than one per tool (each would otherwise
// wait a frame to be noticed). Exits kFirstStepExit + the failed tool's index.
constexpr int kFirstStepExit = 101;
const char* const kToolNames[3] = {"glslangValidator", "spirv-opt", "thaw-glsl"};

std::vector<std::string> chainCommand(const ShaderReload& reload, const ShaderReloadProgram& program) {
    const char* glslangFlags[] = {THAW_SHADER_CHAIN_GLSLANG_FLAGS};
    const char* optFlags[] = {THAW_SHADER_CHAIN_SPIRV_OPT_FLAGS};
    std::vector<std::string> steps[3];
    steps[0].push_back(THAW_SHADER_CHAIN_GLSLANG);
    for (const char* flag : glslangFlags) steps[0].push_back(flag);
    steps[0].insert(steps[0].end(), {"-S", program.stage, "-e", program.entry, "-I" + reload.shaderDir,
                                     "-I" + reload.buildTree + "/" + THAW_SHADER_CHAIN_GENERATED_INCLUDES, "-o",
                                     workPath(reload, program, ".raw.spv"), reload.shaderDir + "/" + program.source});
    steps[1].push_back(THAW_SHADER_CHAIN_SPIRV_OPT);
    for (const char* flag : optFlags) steps[1].push_back(flag);
    steps[1].insert(steps[1].end(), {workPath(reload, program, ".raw.spv"), "-o", workPath(reload, program, ".spv")});
    steps[2] = {reload.buildTree + "/" + THAW_SHADER_CHAIN_THAW_GLSL, workPath(reload, program, ".spv"), "-o", workPath(reload, program, ".glsl")};
    std::string script;
    for (int i = 0; i < 3; ++i) {
        for (const std::string& word : steps[i]) script += shellQuoted(word) + " ";
        script += "|| exit " + std::to_string(kFirstStepExit + i) + "\n";
    }
    return {"/bin/sh", "-c", script};
}

bool readWhole(const std::string& path, std::vector<char>& text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    text.clear();
    char buffer[8192];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.insert(text.end(), buffer, buffer + n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    text.push_back('\0');
    return ok && text.size() > 1;
}

bool isVertex(const ShaderReloadProgram& program) { return program.stage[0] == 'v'; }

const void* codeOf(const DrawPass& pass, bool vertex) {
    return vertex ? pass.program.desc.vertexBytecode : pass.program.desc.pixelBytecode;
}

// Links `text` in place of `program`'s code into every draw pass whose code
// is one of `replaced` (the embedded text and the previous rebuilt one).
// All or nothing: when the driver refuses one pass, every pass keeps what it
// had. Returns the number of passes changed, or -1 with the log's lines.
int swapIntoPasses(GraphRuntime& runtime, const ShaderReloadProgram& program, const void* const replaced[2],
                   const std::vector<char>& text, std::vector<ShaderReloadEvent>& events) {
    const bool vertex = isVertex(program);
    struct Linked {
        DrawPass* pass;
        Program built;
    };
    std::vector<Linked> linked;
    for (uint32_t i = 0; i < runtime.passes.count; ++i) {
        const PassEntry& entry = runtime.passes[i];
        if (entry.kind != PassKind::Draw) continue;
        DrawPass* pass = static_cast<DrawPass*>(entry.pass);
        const void* code = codeOf(*pass, vertex);
        if (!code || (code != replaced[0] && code != replaced[1])) continue;
        ProgramDesc desc = pass->program.desc;  // a shallow view: only the code is read
        (vertex ? desc.vertexBytecode : desc.pixelBytecode) = text.data();
        (vertex ? desc.vertexBytecodeSize : desc.pixelBytecodeSize) = uint32_t(text.size() - 1);
        Linked l{pass, Program{}};
        char log[2048] = "";
        if (!glesLinkProgram(desc, l.built, log, sizeof log)) {
            for (Linked& done : linked) done.built.release();
            for (const std::string& line : nonEmptyLines(log))
                events.push_back({std::string(program.name) + ": " + line, true});
            return -1;
        }
        linked.push_back(l);
    }
    for (Linked& l : linked) {
        Program& target = l.pass->program;
        target.release();
        target.vertexShader = l.built.vertexShader;
        target.pixelShader = l.built.pixelShader;
        target.bindings = l.built.bindings;
        (vertex ? target.desc.vertexBytecode : target.desc.pixelBytecode) = text.data();
        (vertex ? target.desc.vertexBytecodeSize : target.desc.pixelBytecodeSize) = uint32_t(text.size() - 1);
    }
    return int(linked.size());
}

void finishBuild(ShaderReload& reload, GraphRuntime& runtime, ShaderReloadProgram& program,
                 std::vector<ShaderReloadEvent>& events) {
    std::vector<char> text;
    if (!readWhole(workPath(reload, program, ".glsl"), text)) {
        events.push_back({std::string(program.name) + ": thaw-glsl wrote no text", true});
        program.failing = true;
        return;
    }
    const void* replaced[2] = {program.embedded, program.text.empty() ? static_cast<const void*>(program.embedded) : program.text.data()};
    const int passes = swapIntoPasses(runtime, program, replaced, text, events);
    if (passes < 0) {
        program.failing = true;
        return;
    }
    // The passes now point into `text`'s buffer, which swap hands over as is.
    program.text.swap(text);
    program.failing = false;
    char line[160];
    std::snprintf(line, sizeof line, "shader %s rebuilt from %s (%d pass%s)", program.name, program.source, passes,
                  passes == 1 ? "" : "es");
    events.push_back({line, false});
}

void readSaves(ShaderReload& reload, std::vector<ShaderReloadEvent>& events) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(reload.notify, buffer, sizeof buffer);
        if (n <= 0) return;  // EAGAIN: nothing more
        for (ssize_t at = 0; at < n;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Saves were lost: build everything once the folder is quiet.
                for (ShaderReloadProgram& p : reload.programs) {
                    p.wanted = true;
                    p.whole = false;
                }
                reload.quietSince = secondsNow();
                continue;
            }
            if (event->mask & IN_IGNORED) {
                events.push_back({"shader folder " + reload.shaderDir + " is gone: no longer reloading shaders", true});
                continue;
            }
            if (event->len == 0) continue;
            // A file closed after writing or renamed into place is whole; one
            // only created is still being written: wait for the folder to be
            // quiet (or for its close) before building it.
            const bool whole = (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
            const bool include = endsWith(event->name, ".hlsli");
            for (ShaderReloadProgram& p : reload.programs) {
                if (!include && strcmp(p.source, event->name) != 0) continue;
                p.wanted = true;
                p.whole = whole;
                reload.quietSince = secondsNow();
            }
        }
    }
}

bool anyWanted(const ShaderReload& reload) {
    for (const ShaderReloadProgram& program : reload.programs)
        if (program.wanted) return true;
    return false;
}

bool readyToBuild(const ShaderReload& reload, const ShaderReloadProgram& program) {
    return program.wanted && (program.whole || secondsNow() - reload.quietSince >= kShaderReloadQuietSeconds);
}

// Starts the first build that is ready; when the shell cannot be started,
// that build fails and the next ready one is tried.
void startNext(ShaderReload& reload, std::vector<ShaderReloadEvent>& events) {
    for (;;) {
        for (size_t i = 0; i < reload.programs.size() && reload.building < 0; ++i)
            if (readyToBuild(reload, reload.programs[i])) {
                reload.building = int(i);
                reload.programs[i].wanted = false;
            }
        if (reload.building < 0) return;
        ShaderReloadProgram& program = reload.programs[size_t(reload.building)];
        for (const char* suffix : {".raw.spv", ".spv", ".glsl"}) unlink(workPath(reload, program, suffix).c_str());
        std::string error;
        if (childStart(reload.child, chainCommand(reload, program), error)) return;
        events.push_back({std::string(program.name) + ": " + error, true});
        program.failing = true;
        reload.building = -1;
    }
}

}  // namespace

bool shaderReloadOpen(ShaderReload& reload, const char* shaderDir, std::string& error) {
    shaderReloadClose(reload);
    reload.shaderDir = shaderDir;
    // The converter and the generated includes are the build tree's own.
    reload.buildTree = findBuildTree();
    if (reload.buildTree.empty()) {
        error = "no build tree above the program (the shader tools are a build's)";
        return false;
    }
    reload.notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (reload.notify < 0) {
        error = std::string("cannot watch shaders: ") + strerror(errno);
        return false;
    }
    if (inotify_add_watch(reload.notify, shaderDir, kWatchedEvents | IN_ONLYDIR) < 0) {
        error = std::string("cannot watch ") + shaderDir + ": " + strerror(errno);
        shaderReloadClose(reload);
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/thawline-shaders-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a folder for the shader builds in " + pattern + ": " + strerror(errno);
        shaderReloadClose(reload);
        return false;
    }
    reload.workDir = pattern;
#define THAW_RELOAD_PROGRAM(name, source, stage, entry) \
    reload.programs.push_back({#name, source, stage, entry, k##name, {}, false, false, false});
    THAW_SHADER_CHAIN_PROGRAMS(THAW_RELOAD_PROGRAM)
#undef THAW_RELOAD_PROGRAM
    return true;
}

void shaderReloadPoll(ShaderReload& reload, GraphRuntime& runtime, std::vector<ShaderReloadEvent>& events) {
    if (reload.notify < 0) return;
    readSaves(reload, events);

    // A graph built again from the embedded programs gets the rebuilt ones.
    for (ShaderReloadProgram& program : reload.programs) {
        if (program.text.empty()) continue;
        const void* replaced[2] = {program.embedded, program.embedded};
        swapIntoPasses(runtime, program, replaced, program.text, events);
    }

    // Saved again while building: that build is stale, start over.
    if (reload.building >= 0 && reload.programs[size_t(reload.building)].wanted) {
        childStop(reload.child);
        reload.building = -1;
    }
    if (reload.building >= 0 && !childPoll(reload.child)) {
        ShaderReloadProgram& program = reload.programs[size_t(reload.building)];
        if (reload.child.exitCode != 0) {
            const int step = reload.child.exitCode - kFirstStepExit;
            reportFailure(program, step >= 0 && step < 3 ? kToolNames[step] : "the shell", reload.child.text,
                          reload.child.exitCode, events);
            program.failing = true;
            reload.building = -1;
        } else {
            finishBuild(reload, runtime, program, events);
            reload.building = -1;
        }
    }
    if (reload.building < 0) startNext(reload, events);
}

bool shaderReloadFailing(const ShaderReload& reload) {
    for (const ShaderReloadProgram& program : reload.programs)
        if (program.failing) return true;
    return false;
}

bool shaderReloadBusy(const ShaderReload& reload) { return reload.building >= 0 || anyWanted(reload); }

void shaderReloadClose(ShaderReload& reload) {
    childStop(reload.child);
    if (reload.notify >= 0) close(reload.notify);
    reload.notify = -1;
    if (!reload.workDir.empty()) {
        for (const ShaderReloadProgram& program : reload.programs)
            for (const char* suffix : {".raw.spv", ".spv", ".glsl"}) unlink(workPath(reload, program, suffix).c_str());
        rmdir(reload.workDir.c_str());
    }
    reload.workDir.clear();
    reload.programs.clear();
    reload.building = -1;
}

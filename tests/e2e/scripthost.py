"""The shipped scripts run one at a time in the tool's own script state (every module, `require`
beside the file), through tests/helpers/script_host.cpp, against the machine given by `env`.

    lines = lua("lib_common.lua", "return lib_common.SafeInstallPath(" + lua_string(path) + ")")

The host starts no logger and runs only what the chunk calls: use it for library functions,
detection and names, never for a removal on the shared test machine.
"""
from harness import SOURCE_DIR, helper, run
from scriptset import windows_path

SCRIPTS = SOURCE_DIR / "scripts"


def lua_string(text):
    """A Lua string literal of `text` that needs no quoting on a command line: every byte other
    than a letter or a digit is written as a decimal escape."""
    return "'" + "".join(chr(b) if chr(b).isalnum() else f"\\{b:03d}" for b in text.encode("utf-8")) + "'"


def lua_list(texts):
    return "{" + ",".join(lua_string(t) for t in texts) + "}"


def lua(script, chunk, env=None):
    """The lines printed for the values `chunk` returns once scripts/`script` has run (a table
    gives one line per element)."""
    result = run(helper("script_host"), windows_path(SCRIPTS / script), chunk, env=env)
    assert result.code == 0, (result, result.stderr)
    return result.stdout.replace("\r\n", "\n").split("\n")[:-1]

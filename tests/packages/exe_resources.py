"""Checks the resources windres read back from an .exe (as .rc text):

    exe_resources.py RESOURCES.rc NAME VERSION

The version resource: file and product version VERSION, product name
filesplit, a description, the original file name NAME.exe. The application
manifest (resource type 24): runs as the invoker, long paths, and the
supported systems Windows 7 to 11. Prints each fault and exits 1 on any.
"""
import re
import sys
import xml.etree.ElementTree as ET

rc_path, name, version = sys.argv[1:4]
rc = open(rc_path, encoding="utf-8", errors="replace").read()
faults = []

# ---- The version resource ---------------------------------------------------
numbers = ", ".join(version.split(".") + ["0"])
for key in ("FILEVERSION", "PRODUCTVERSION"):
    found = re.search(r"^\s*%s\s+(.*)$" % key, rc, re.M)
    if not found or found.group(1).strip() != numbers:
        faults.append("%s is %s, not %s" % (key, found and found.group(1).strip(), numbers))
values = dict(re.findall(r'^\s*VALUE "(\w+)", "(.*)"\s*$', rc, re.M))
expected = {
    "FileVersion": version,
    "ProductVersion": version,
    "ProductName": "filesplit",
    "OriginalFilename": name + ".exe",
}
for key, want in expected.items():
    if values.get(key) != want:
        faults.append('version resource: %s is %r, not %r' % (key, values.get(key), want))
if not values.get("FileDescription"):
    faults.append("version resource: no FileDescription")

# ---- The manifest -----------------------------------------------------------
block = re.search(r"^1 24 .*?\nBEGIN\n(.*?)\nEND", rc, re.M | re.S)
if not block:
    faults.append("no application manifest (resource 1 of type 24)")
else:
    text = ""
    for line in block.group(1).splitlines():
        literal = re.match(r'^\s*"(.*)"\s*$', line)
        if literal:
            text += literal.group(1).replace('""', '"').replace("\\n", "\n").replace("\\t", "\t")
    try:
        root = ET.fromstring(text.encode("utf-8"))
    except ET.ParseError as error:
        faults.append("the manifest is not well-formed XML: %s" % error)
        root = None
    if root is not None:
        asm1 = "{urn:schemas-microsoft-com:asm.v1}"
        asm3 = "{urn:schemas-microsoft-com:asm.v3}"
        compat = "{urn:schemas-microsoft-com:compatibility.v1}"
        settings16 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
        if root.tag != asm1 + "assembly":
            faults.append("manifest root is %s" % root.tag)
        levels = [e.get("level") for e in root.iter(asm3 + "requestedExecutionLevel")]
        if levels != ["asInvoker"]:
            faults.append("requestedExecutionLevel: %s, not asInvoker" % levels)
        long_paths = [e.text for e in root.iter(settings16 + "longPathAware")]
        if long_paths != ["true"]:
            faults.append("longPathAware: %s, not true" % long_paths)
        systems = {e.get("Id", "").lower() for e in root.iter(compat + "supportedOS")}
        wanted = {
            "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
            "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
            "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
        }
        for guid, system in wanted.items():
            if guid not in systems:
                faults.append("supportedOS lacks %s %s" % (system, guid))

for fault in faults:
    print("FAILED: %s: %s" % (name, fault), file=sys.stderr)
sys.exit(1 if faults else 0)

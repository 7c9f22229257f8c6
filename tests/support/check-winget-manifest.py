#!/usr/bin/env python3
"""Checks the manifest set SetupTool wrote against the package manager's schema (1.6.0):
the required fields, their types, patterns and enumerations, and the cross-file identity.
usage: check-winget-manifest.py OUTDIR ZIP"""
import hashlib, os, re, sys
import yaml

out, package = sys.argv[1], sys.argv[2]
problems = []

def need(cond, text):
    if not cond:
        problems.append(text)

ID = re.compile(r'^[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}){1,7}$')
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
             "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
             "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
             "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}

files = sorted(f for f in os.listdir(out) if f.endswith(".yaml"))
need(len(files) == 3, f"three manifests, not {files}")
docs = {}
for f in files:
    with open(os.path.join(out, f), encoding="utf-8") as h:
        doc = yaml.safe_load(h)
    need(isinstance(doc, dict), f"{f}: not a mapping")
    docs[doc.get("ManifestType")] = (f, doc)
    need(doc.get("ManifestVersion") == "1.6.0", f"{f}: ManifestVersion")
    need(isinstance(doc.get("PackageIdentifier"), str) and ID.match(doc["PackageIdentifier"]), f"{f}: PackageIdentifier")
    need(isinstance(doc.get("PackageVersion"), str) and 0 < len(doc["PackageVersion"]) <= 128, f"{f}: PackageVersion is a string")
    need(f.startswith(doc.get("PackageIdentifier", "?") + "."), f"{f}: file name and identifier")
need(set(docs) == {"version", "installer", "defaultLocale"}, f"manifest types {sorted(docs)}")
ids = {d.get("PackageIdentifier") for _, d in docs.values()}
versions = {d.get("PackageVersion") for _, d in docs.values()}
need(len(ids) == 1 and len(versions) == 1, "one identifier and one version across the files")

_, version = docs.get("version", ("", {}))
need(version.get("DefaultLocale") == "en-US", "version: DefaultLocale")

_, locale = docs.get("defaultLocale", ("", {}))
for key in ("PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"):
    need(isinstance(locale.get(key), str) and locale[key], f"defaultLocale: {key}")

_, inst = docs.get("installer", ("", {}))
need(inst.get("InstallerType") == "zip" and inst.get("NestedInstallerType") == "exe", "installer: zip with a nested exe")
need(inst.get("NestedInstallerFiles") == [{"RelativeFilePath": "Setup.exe"}], "installer: NestedInstallerFiles")
switches = inst.get("InstallerSwitches", {})
need(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/passive", "installer: silent switches")
need("<INSTALLPATH>" in switches.get("InstallLocation", "") and "<LOGPATH>" in switches.get("Log", ""), "installer: location and log")
need(inst.get("InstallerSuccessCodes") == [3010], "installer: success codes")
codes = {c.get("InstallerReturnCode"): c.get("ReturnResponse") for c in inst.get("ExpectedReturnCodes", [])}
need(codes.get(1602) == "cancelledByUser" and codes.get(1641) == "rebootInitiated", "installer: expected codes")
need(all(isinstance(k, int) and k != 0 and v in RESPONSES for k, v in codes.items()), f"installer: responses {codes}")
entries = inst.get("AppsAndFeaturesEntries", [])
need(len(entries) == 1 and entries[0].get("ProductCode") and entries[0].get("DisplayName"), "installer: AppsAndFeaturesEntries")
installers = inst.get("Installers", [])
need(len(installers) == 1, "installer: one installer")
if installers:
    i = installers[0]
    need(i.get("Architecture") in ("x86", "x64"), "installer: Architecture")
    need(re.match(r"^https?://", i.get("InstallerUrl", "")), "installer: InstallerUrl")
    with open(package, "rb") as h:
        digest = hashlib.sha256(h.read()).hexdigest()
    need(str(i.get("InstallerSha256", "")).lower() == digest, f"installer: InstallerSha256 {i.get('InstallerSha256')} != {digest}")

with open(os.path.join(out, "deployment.txt"), encoding="utf-8") as h:
    text = h.read()
need("uninstall /S" in text and "DisplayVersion" in text and "CurrentVersion\\Uninstall\\" in text, "deployment.txt")

for p in problems:
    print("FAIL", p)
print("manifests:", "bad" if problems else "good", "(" + ", ".join(files) + ")")
sys.exit(1 if problems else 0)

#!/usr/bin/env python3
"""Writes the package-manager manifests of one Pathwink release:

  <out>/winget/Corvane.Pathwink.yaml               version manifest
  <out>/winget/Corvane.Pathwink.installer.yaml     the per-user installer
  <out>/winget/Corvane.Pathwink.locale.en-US.yaml  default locale
  <out>/scoop/pathwink.json                        the portable zip

    python3 make_manifests.py --version 1.3 --setup <setup.exe> --zip <portable.zip>
                              --out <folder> [--url <address template>]

The name, publisher, web address, uninstall key and settings file name are read
from pathwink.nsi beside this script, so that the manifests claim what the
installer writes. The address template holds {version} and {file}; each package's
download address is the template with the version and its file name filled in.
Used by tools/package and by the journey test's build (which installs the setup
under Wine and checks each claim).
"""

import argparse
import hashlib
import json
import os
import re
import sys

MANIFEST_VERSION = "1.6.0"  # the winget manifest schema
PACKAGE_ID = "Corvane.Pathwink"
LOCALE = "en-US"
# The same for the winget and the Scoop manifest.
LICENSE = "Freeware"
SHORT_DESCRIPTION = "Opens your favourite folders with one key combination each."
DESCRIPTION = (
    "Pathwink gives your favourite folders their own key combinations: while it runs, "
    "pressing a combination such as Ctrl+Alt+D anywhere in Windows opens the bound folder "
    "in Explorer. Its icon in the notification area has a menu that lists every folder "
    "shortcut, and a small window creates, edits and deletes them."
)
TAGS = ["explorer", "folders", "hotkeys", "shortcuts", "tray"]
MINIMUM_OS_VERSION = "10.0.14393.0"  # Windows 10 version 1607
# The installer's exit code when a running Pathwink did not exit (NSIS's Abort).
EXIT_PATHWINK_RUNS = 2
DEFAULT_URL = "https://www.corvane.example/download/pathwink/{version}/{file}"


def nsis_defines(script):
    """The !define values of an NSIS script, with ${NAME} references expanded."""
    defines = {}
    pattern = re.compile(r'^\s*!define\s+(\w+)\s+"(.*)"\s*$')
    with open(script, encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if m:
                defines[m.group(1)] = re.sub(
                    r"\$\{(\w+)\}", lambda r: defines.get(r.group(1), r.group(0)), m.group(2)
                )
    return defines


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def scalar(value):
    """A YAML scalar that reads back as this text: plain where that is safe, else quoted."""
    text = str(value)
    if (
        not text
        or text != text.strip()
        or re.match(r"[-?:,\[\]{}#&*!|>'\"%@`0-9.+]", text)
        or ": " in text
        or " #" in text
        or text.lower() in ("true", "false", "yes", "no", "on", "off", "null", "~")
    ):
        return json.dumps(text)
    return text


def yaml_document(schema, body):
    """A manifest of this schema ("version", "installer", "defaultLocale"): the header
    lines, then body, whose {name} fields are filled in as YAML scalars."""
    return (
        "# Made by tools/package (installer/make_manifests.py).\n"
        "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n"
        % (schema, MANIFEST_VERSION)
        + body
        + "ManifestType: %s\nManifestVersion: %s\n" % (schema, MANIFEST_VERSION)
    )


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True, help='the version users see, e.g. "1.3"')
    parser.add_argument("--setup", required=True, help="the installer")
    parser.add_argument("--zip", required=True, help="the portable zip")
    parser.add_argument("--out", required=True, help="folder for winget/ and scoop/")
    parser.add_argument("--url", default=DEFAULT_URL, help="download address template")
    args = parser.parse_args(argv[1:])

    if not re.fullmatch(r"https://[^\s{}]+(\{(version|file)\}[^\s{}]*)*", args.url) or (
        "{file}" not in args.url
    ):
        parser.error("--url must be an https:// address with {file} (and {version} if wanted)")
    for path in (args.setup, args.zip):
        if not os.path.isfile(path):
            parser.error("no file %s" % path)

    nsi = nsis_defines(os.path.join(os.path.dirname(os.path.abspath(__file__)), "pathwink.nsi"))
    name, publisher, web = nsi["PW_NAME"], nsi["PW_MAKER"], nsi["PW_WEB"]
    # The key under ...\Uninstall that the installer writes is what winget calls the
    # product code of a nullsoft installer.
    product_code = nsi["PW_UNINSTALL_KEY"].split("\\")[-1]
    settings = nsi["PW_SETTINGS"]

    def url(path):
        return args.url.replace("{version}", args.version).replace(
            "{file}", os.path.basename(path)
        )

    v = {
        k: scalar(x)
        for k, x in dict(
            id=PACKAGE_ID,
            version=args.version,
            locale=LOCALE,
            os=MINIMUM_OS_VERSION,
            url=url(args.setup),
            sha256=sha256(args.setup).upper(),
            product_code=product_code,
            name=name,
            publisher=publisher,
            web=web,
            license=LICENSE,
            copyright="Copyright (C) " + publisher,
            short=SHORT_DESCRIPTION,
            description=DESCRIPTION,
            moniker=name.lower(),
        ).items()
    }
    v["in_use"] = str(EXIT_PATHWINK_RUNS)  # an integer in the schema
    v["tags"] = "".join("- %s\n" % scalar(t) for t in TAGS)
    head = "PackageIdentifier: {id}\nPackageVersion: {version}\n"
    winget = os.path.join(args.out, "winget")
    write(
        os.path.join(winget, PACKAGE_ID + ".yaml"),
        yaml_document("version", (head + "DefaultLocale: {locale}\n").format(**v)),
    )
    write(
        os.path.join(winget, PACKAGE_ID + ".installer.yaml"),
        yaml_document(
            "installer",
            (
                head + "MinimumOSVersion: {os}\n"
                "InstallerType: nullsoft\n"
                "Scope: user\n"
                "InstallModes:\n"
                "- interactive\n"
                "- silent\n"
                "- silentWithProgress\n"
                "UpgradeBehavior: install\n"
                "ExpectedReturnCodes:\n"
                "- InstallerReturnCode: {in_use}\n"
                "  ReturnResponse: packageInUse\n"
                "Installers:\n"
                "- Architecture: x64\n"
                "  InstallerUrl: {url}\n"
                "  InstallerSha256: {sha256}\n"
                "  ProductCode: {product_code}\n"
                "  AppsAndFeaturesEntries:\n"
                "  - DisplayName: {name}\n"
                "    Publisher: {publisher}\n"
                "    DisplayVersion: {version}\n"
                "    ProductCode: {product_code}\n"
            ).format(**v),
        ),
    )
    write(
        os.path.join(winget, "%s.locale.%s.yaml" % (PACKAGE_ID, LOCALE)),
        yaml_document(
            "defaultLocale",
            (
                head + "PackageLocale: {locale}\n"
                "Publisher: {publisher}\n"
                "PublisherUrl: {web}\n"
                "PackageName: {name}\n"
                "PackageUrl: {web}\n"
                "License: {license}\n"
                "Copyright: {copyright}\n"
                "ShortDescription: {short}\n"
                "Description: {description}\n"
                "Moniker: {moniker}\n"
                "Tags:\n{tags}"
            ).format(**v),
        ),
    )

    exe = name + ".exe"
    # Scoop keeps a persisted file as a hard link into its persist folder, and makes a
    # folder of a name that exists in neither place: an empty settings file is made
    # first, so that the program's file is what it keeps.
    scoop = {
        "version": args.version,
        "description": SHORT_DESCRIPTION,
        "homepage": web,
        "license": LICENSE,
        "architecture": {"64bit": {"url": url(args.zip), "hash": sha256(args.zip)}},
        "bin": exe,
        "shortcuts": [[exe, name]],
        "pre_install": [
            'if (!(Test-Path "$persist_dir\\%s")) { New-Item -ItemType File "$dir\\%s" | Out-Null }'
            % (settings, settings)
        ],
        "persist": settings,
        "notes": "Your folder shortcuts and options are kept in $persist_dir\\%s." % settings,
    }
    write(
        os.path.join(args.out, "scoop", name.lower() + ".json"),
        json.dumps(scoop, indent=4) + "\n",
    )
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""The JSON Schema of project files, checked by an independent validator.

Every project-file example of docs/project-file.md, the demo project and
the project of `palisade init` validate; every key the documentation lists
is in the schema; and the mistakes a TOML editor should flag are refused
by the schema and by `palisade build` alike.

usage: project_schema_test.py PALISADE SOURCE_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import tomllib
import unittest

import jsonschema

PALISADE, SOURCE_DIR = os.path.abspath(sys.argv[1]), sys.argv[2]
MINIMAL_PRODUCT = '[product]\nname = "Acme Notes"\nversion = "2.1.0"\n\n'


def read(relative):
    with open(os.path.join(SOURCE_DIR, relative), encoding="utf-8") as f:
        return f.read()


SCHEMA = json.loads(read("docs/palisade.schema.json"))
VALIDATOR = jsonschema.Draft7Validator(SCHEMA)


def problems(project_text):
    """The schema's complaints about a project, one line each."""
    document = tomllib.loads(project_text)
    return ["/".join(map(str, error.absolute_path)) + ": " + error.message
            for error in VALIDATOR.iter_errors(document)]


def toml_examples(document):
    """The ```toml blocks of a document, without a list item's indentation, with their lines."""
    examples, inside, indent = [], False, ""
    for number, line in enumerate(read(document).splitlines(), 1):
        fence = line.find("```")
        if not inside and fence >= 0 and line[fence:] == "```toml":
            inside, indent = True, line[:fence]
            examples.append((number, ""))
        elif inside and fence >= 0:
            inside = False
        elif inside:
            text = line[len(indent):] if line.startswith(indent) else line
            examples[-1] = (examples[-1][0], examples[-1][1] + text + "\n")
    return examples


def documented_keys():
    """(table heading, key) for each row of the "| Key |" tables of docs/project-file.md."""
    keys, heading, in_table = [], None, False
    for line in read("docs/project-file.md").splitlines():
        if line.startswith("## "):
            heading, in_table = line[3:].strip(), False
        elif line.startswith("| Key |"):
            in_table = True
        elif in_table and line.startswith("| `"):
            cell = line.split("|")[1]
            keys += [(heading, key) for key in re.findall(r"`([^`]+)`", cell)]
        elif not line.startswith("|"):
            in_table = False
    return keys


def table_schemas(heading):
    """The schemas of the tables that a heading such as "[[files]]" or "[batches.NAME]" stands for."""
    properties = SCHEMA["properties"]
    name = heading.strip("[]")
    if name == "batches.NAME":
        return list(properties["batches"]["properties"].values())
    if name == "messages.LANGUAGE":
        return [properties["messages"]["additionalProperties"]]
    table = properties[name]
    return [table["items"] if table.get("type") == "array" else table]


def has_key(schema, key):
    if key in schema.get("properties", {}):
        return True
    sample = "42" if key == "NUMBER" else key
    return any(re.search(pattern, sample) for pattern in schema.get("patternProperties", {}))


class ProjectSchema(unittest.TestCase):
    def test_every_example_and_generated_project_validates(self):
        projects = [("docs/project-file.md:%d" % line, text) for line, text in toml_examples("docs/project-file.md")]
        self.assertTrue(projects)
        projects.append(("examples/demo/palisade.toml", read("examples/demo/palisade.toml")))
        with tempfile.TemporaryDirectory() as folder:
            os.makedirs(os.path.join(folder, "bin"))
            open(os.path.join(folder, "bin", "acme.exe"), "w").close()
            subprocess.run([PALISADE, "init", "Acme Notes"], cwd=folder, check=True, capture_output=True)
            with open(os.path.join(folder, "palisade.toml"), encoding="utf-8") as f:
                projects.append(("palisade init", f.read()))
        for where, text in projects:
            if "product" not in tomllib.loads(text):
                text = MINIMAL_PRODUCT + text
            with self.subTest(where):
                self.assertEqual(problems(text), [])

    def test_every_documented_key_is_in_the_schema(self):
        keys = documented_keys()
        self.assertIn(("[[files]]", "from"), keys)
        for heading, key in keys:
            with self.subTest(table=heading, key=key):
                self.assertTrue(any(has_key(schema, key) for schema in table_schemas(heading)))

    def test_mistakes_are_refused_by_the_schema_and_the_builder(self):
        # (project, what the schema says, what `palisade build` says)
        cases = [
            ('[product]\nname = "A"\nversion = "1.0"\ninstal-folder = "A"\n',
             "'instal-folder' was unexpected", 'unknown key "instal-folder" in [product]'),
            ('[product]\nname = "A"\nversion = "1.0"\n[[file]]\nfrom = "**"\n',
             "'file' was unexpected", 'unknown key "file" in the project file'),
            (MINIMAL_PRODUCT + '[[files]]\nfrom = "**"\nshortcut = { desktop = true, nmae = "A" }\n',
             "'nmae' was unexpected", 'unknown key "nmae" in the shortcut of [[files]]'),
            (MINIMAL_PRODUCT + '[batches.post-install]\nhiden = true\n',
             "'hiden' was unexpected", 'unknown key "hiden" in [batches.post-install]'),
            (MINIMAL_PRODUCT + '[wizard]\nallow-cancel = "no"\n',
             "'no' is not of type 'boolean'", '"allow-cancel" in [wizard] must be true or false'),
            (MINIMAL_PRODUCT + '[compression]\nlevel = 12\n',
             "12 is greater than the maximum of 9", '"level" in [compression] is 12, outside 0 to 9'),
            (MINIMAL_PRODUCT + '[background]\ntitle-color = "navy"\n',
             "'navy' does not match", 'bad colour "navy" for "title-color" in [background]'),
            ('[product]\nname = "A"\nversion = "1.0"\nbitness = "96-bit"\n',
             "'96-bit' is not valid under any of the given schemas", 'bad value "96-bit" for "bitness" in [product]'),
            ('[product]\nname = "A"\nversion = "one"\n',
             "'one' is not valid under any of the given schemas", '"version" in [product] is "one"'),
            ('[product]\nname = "A"\n', "'version' is a required property", 'missing key "version" in [product]'),
            (MINIMAL_PRODUCT + '[signing]\npassword = "secret"\n',
             "should not be valid", "[signing] holds a password"),
            (MINIMAL_PRODUCT + '[messages.English]\nx42 = "text"\n',
             "'x42' does not match any of the regexes", '"x42" in [messages.English] is not a message number'),
        ]
        with tempfile.TemporaryDirectory() as folder:
            project = os.path.join(folder, "palisade.toml")
            for text, schema_says, builder_says in cases:
                with self.subTest(text):
                    found = problems(text)
                    self.assertTrue(any(schema_says in problem for problem in found), found)
                    with open(project, "w", encoding="utf-8") as f:
                        f.write(text)
                    build = subprocess.run([PALISADE, "build", project, "-o", os.path.join(folder, "setup.exe")],
                                           capture_output=True, text=True)
                    self.assertEqual(build.returncode, 2, build.stderr)
                    self.assertIn(builder_says, build.stderr)

    def test_a_variable_may_stand_for_any_text(self):
        self.assertEqual(problems('[product]\nname = "A"\nversion = "${VERSION}"\n'
                                  '[background]\ntitle-color = "${TITLE_COLOR}"\n'), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

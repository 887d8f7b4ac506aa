"""Helpers for the end-to-end tests that drive TVN.exe under Wine.

Standard library only. The helpers live by subject in the modules of this
package, and the package gathers them under one name, so that a test needs
only `import tvn` (with tests/e2e on its path):

- tvn.env: paths of the source and build trees, and the Wine environment,
  which comes from scripts/wine-env.sh (a test run by hand sets the prefix,
  the locale, the cscript shim and a private display up itself);
- tvn.wine (the module; `tvn.wine(...)` is its function): running Wine
  programs; tvn.paths: Windows and unix paths;
- tvn.registry: the prefix's registry; tvn.processes: the prefix's processes
  and programs started through tvn_spawn.exe;
- tvn.windows: the inspector, xdotool and screenshots;
- tvn.waiting: `wait_until`, the one polling loop;
- tvn.case: the test case base and runner;
- tvn.resource_ids, here `ids`: the dialog and control ids of
  resources/resource.h (`tvn.ids.IDC_COMMAND_LIST`).

Every subprocess runs with a timeout; failures raise AssertionError with the
command and its output in the message.
"""

from tvn import resource_ids as ids
from tvn.case import TvnTestCase, main
from tvn.env import build_dir, ensure_env, exe, prefix_dir, screenshot_dir, source_dir
from tvn.paths import WINE_CSCRIPT, system_folder_unix, temp_dir_unix, unixpath, wine_user, winpath
from tvn.processes import Spawn, kill_all_tvn, kill_image, wait_exit
from tvn.registry import (key_exists, parse_reg_file, reg_add, reg_delete, reg_query_key, reg_value,
                          reset_windows_version, set_windows_version)
from tvn.waiting import wait_until
from tvn.windows import (box_text, control, inspect, key, open_menus, refresh,
                         right_click_list_item, screenshot, wait_box, wait_window, x_windows, xdotool)
from tvn.wine import decode_console, wine, wine_start  # last: the name wine is the function, not the module


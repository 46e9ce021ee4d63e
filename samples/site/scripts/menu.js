function showCall(name) {
  window.open("sounds/" + name + ".html");
}
document.write('<p class="menu">Menu ready.</p>');
